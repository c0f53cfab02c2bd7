// SET: show or change one setting of the run.
#pragma once
#include <cstddef>
#include <string_view>

#include "base/block_context.h"
#include "base/sink.h"

namespace bex {

struct RunContext;

void cmdSet(RunContext& rc);
void printSetUsage(Sink& out);

// Decodes a FIELD_TAG / RECORD_TAG token (cut to 127 characters) by the
// backslash escape rules into out (kTagBufferSize bytes, zero-terminated).
// Returns the decoded length up to the first zero byte.
size_t decodeTag(std::string_view token, char* out);
// Shows a tag: "  Current KEY :" then each byte escaped, then "\n".
void printTag(Sink& out, const char* key, const char* tag);

}  // namespace bex
