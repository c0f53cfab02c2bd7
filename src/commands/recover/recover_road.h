// The road of bex recover once its command line is read.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace bex {

struct DataFileRegistry;
struct RunContext;

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

// argv[i] of a command line naming data files: "-l LISTFILE" (i moved to
// the name; the caller checked that it is there) or a file; false for
// another option.
bool takeDataFile(char** argv, int& i, RecoverRequest& req);
// Why the files of req are no set to open (neither or both of files and
// -l), or nullptr.
const char* dataFilesProblem(const RecoverRequest& req);

// The steps of learning a layout, shared with bex sql.
bool makeDirectory(const std::string& path);  // with its parents
std::string absolutePath(const std::string& path);
std::string fileNameOf(const char* name);  // a file name made of a dictionary name
// The OPEN configuration file dir/bexrecover.cfg naming req.files ("" when
// it cannot be written).
std::string writeConfiguration(const RecoverRequest& req, const std::string& dir);
// Opened files with a readable Oracle header.
uint32_t readableFiles(const DataFileRegistry& reg);
// A file of the SYSTEM tablespace (number 0) whose header was read.
bool hasSystemFile(const DataFileRegistry& reg);
// One statement on rc as if typed: echoed into its output, its handler
// called, ended as the command loop ends it. False when it failed.
bool runTypedStatement(RunContext& rc, void (*handler)(RunContext& rc), const std::string& text);

}  // namespace bex
