// OPEN learns what the user left unset of the files' layout (BLOCK_SIZE,
// BYTE_ORDER, BIGFILE, a file's header size) from the files' own header
// blocks.
#pragma once

namespace bex {

struct RunContext;

// Probes the open slots for every layout value not SET in this run (and
// each header size its configuration line does not give), takes what the
// files agree on, or what most of them say, and prints once what it took
// and which files say otherwise, with the SET that reads them.
void learnFileLayout(RunContext& rc);

}  // namespace bex
