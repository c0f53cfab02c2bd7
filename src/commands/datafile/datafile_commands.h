// OPEN, CHECK, CORRUPT and SKIP.
#pragma once

namespace bex {

struct RunContext;

void cmdOpen(RunContext& rc);
void cmdCheck(RunContext& rc);
void cmdCorrupt(RunContext& rc);
void cmdSkip(RunContext& rc);

}  // namespace bex
