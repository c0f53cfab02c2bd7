// OSDUMP, ORADUMP and BCHECK: show one block, read by rdba or by relative
// file number and block number.
//   OSDUMP  {RDBA rdba | FILE rfn BLOCK blockid} [TO filename]   hexadecimal
//   ORADUMP {RDBA rdba | FILE rfn BLOCK blockid} [TO filename]   decoded
//   BCHECK  {RDBA rdba | FILE rfn BLOCK blockid}                 bad-block test
#pragma once

namespace bex {

struct RunContext;

void cmdOsdump(RunContext& rc);
void cmdOradump(RunContext& rc);
void cmdBcheck(RunContext& rc);

}  // namespace bex
