// No export-dump writer yet: UNLOAD TABLE in DMP style says so and stops
// before it creates any file.
#include "unload/dump_output.h"

namespace bex {

bool dumpOutputAvailable() { return false; }

void writeDumpPrologue(RunContext&, const UnloadJob&, const UserRecord&, const ObjectRecord&, uint32_t, Sink&) {}

void writeDumpEpilogue(Sink&) {}

std::unique_ptr<RowWriter> makeDumpRowWriter(RunContext&, UnloadJob&, Sink&) { return nullptr; }

}  // namespace bex
