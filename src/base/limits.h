// Fixed capacities and named limits. Every buffer that takes user text has
// its limit here, and every copy into it is cut to that limit; the sizes and
// bounds that several layers check (block sizes, ASM allocation units, the
// chain and transaction-table settings) are written here once.
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

inline constexpr uint32_t kMegabyte = 1048576;

// Oracle block sizes: the standard ones; BLOCK_SIZE also takes any multiple
// of the smallest up to the largest.
inline constexpr uint16_t kStandardBlockSizes[] = {2048, 4096, 8192, 16384, 32768};
inline constexpr uint16_t kBlockSizeMin = kStandardBlockSizes[0];
inline constexpr uint16_t kBlockSizeMax = kStandardBlockSizes[4];
inline constexpr uint16_t kDefaultBlockSize = kStandardBlockSizes[2];

// ASM allocation units and metadata blocks: powers of two within these.
inline constexpr uint32_t kAsmAuSizeMin = 4096;
inline constexpr uint32_t kAsmAuSizeMax = 64 * kMegabyte;
inline constexpr uint32_t kAsmAuSizeDefault = kMegabyte;
inline constexpr uint32_t kAsmBlockSizeMin = 512;
inline constexpr uint32_t kAsmBlockSizeMax = kBlockSizeMax;
inline constexpr uint32_t kAsmBlockSizeDefault = 4096;

// MAXCHAINS 0: a chained row is followed as far as it goes.
inline constexpr uint32_t kNoChainLimit = 0;

// FIELD_TAG, RECORD_TAG and LONG_TAG: the bytes a tag holds, with its NUL.
inline constexpr uint32_t kTagBufferSize = 128;

// TRANS_COUNT 0: the transaction-table entries of an 8K block's undo header
// (type 0x0E) or system-managed undo header (type 0x26); other block sizes
// have no count of their own.
inline constexpr uint16_t kTransCountUndoHeader8K = 98;
inline constexpr uint16_t kTransCountSmuHeader8K = 34;

}  // namespace bex
