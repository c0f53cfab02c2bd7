// The road of bex recover once its command line is read.
#pragma once
#include <string>
#include <vector>

namespace bex {

struct RecoverRequest {
  std::string dir = "recovered";   // -o
  std::vector<std::string> files;  // the data files named on the command line
  std::string listFile;            // -l: an OPEN configuration file instead
  unsigned threads = 1;            // --threads
  std::string pgTarget;            // --to: the tables' rows into this PostgreSQL server
};

// Runs the whole road; returns the exit status (RecoverStatus).
int runRecovery(const RecoverRequest& req, int progressFd);

// Oracle's own schemas, whose tables bex recover leaves alone: SYS, SYSTEM
// and the schemas Oracle's installer and options create.
bool isOracleSchema(const char* name);

}  // namespace bex
