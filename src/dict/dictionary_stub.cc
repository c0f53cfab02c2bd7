// Until the bootstrap runs on the unload engine it says it cannot run.
#include "dict/dictionary.h"
#include "shell/run_context.h"

namespace bex {

void bootstrapDictionary(RunContext& rc, uint32_t, uint32_t) {
  rc.out.write("  Dictionary bootstrap is not available in this build.\n");
}

}  // namespace bex
