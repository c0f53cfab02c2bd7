// The text styles: delimited rows (TXT) and RFC 4180 rows (CSV), with the
// LOB file, the control file and the CREATE TABLE script.
#pragma once
#include <memory>

#include "unload/output_format.h"

namespace bex {

std::unique_ptr<OutputFormat> makeTextFormat(const OutputEnv& env, UnloadJob& job, const UnloadOptions& opts);
std::unique_ptr<OutputFormat> makeCsvFormat(const OutputEnv& env, UnloadJob& job, const UnloadOptions& opts);
std::unique_ptr<RowWriter> makeTextRowWriter(BlockContext& bc, UnloadJob& job, Sink& data, LobFile& lob,
                                             Sink& console, bool rowAddress);
std::unique_ptr<RowWriter> makeCsvRowWriter(BlockContext& bc, UnloadJob& job, Sink& data, LobFile& lob,
                                            Sink& console, bool rowAddress);

}  // namespace bex
