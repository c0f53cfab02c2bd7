// bex recover: opens data files, scans them, unloads the dictionary when
// the SYSTEM file is among them and every table of every user but
// Oracle's own (or, without a dictionary, every object with guessed
// columns), and writes the load scripts and the recovery report, all into
// one directory.
#pragma once

namespace bex {

// Exit status of a recovery.
enum RecoverStatus { kRecoveredAll = 0, kRecoveredWithLosses = 1, kNothingRecovered = 2 };

// bex recover with its arguments (those after "recover"); progressFd: where
// the progress line is drawn (-1: nowhere). Returns the exit status.
int recoverMain(int argc, char** argv, int progressFd);

}  // namespace bex
