// Fixed capacities of the command shell. Every buffer that takes user text
// has its limit here, and every copy into it is cut to that limit.
#pragma once
#include <cstddef>
#include <cstdint>

namespace bex {

inline constexpr size_t kStatementMax = 8192;     // statement text, without the final zero
inline constexpr size_t kStatementCut = 7168;     // a statement this long is complete
inline constexpr size_t kInputLineMax = 1023;     // one line read from console or script
inline constexpr size_t kNumberTokenMax = 31;     // numbers copied from a token
inline constexpr size_t kTagMax = 127;            // FIELD_TAG, RECORD_TAG, LONG_TAG
inline constexpr size_t kNameTokenMax = 63;       // names (iconv names, owners, tables)
inline constexpr size_t kFileNameMax = 1023;      // file names typed in a statement
inline constexpr size_t kCharsetTokenMax = 20;    // CHARSET and NLSCHARSET values
inline constexpr uint32_t kMaxThreads = 64;       // THREADS
inline constexpr size_t kOutputBufferSize = 1049576;  // buffer of every output data file

}  // namespace bex
