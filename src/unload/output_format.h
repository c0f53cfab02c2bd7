// The output of one UNLOAD, made by its style (unload/output_style.h): what
// is written before the rows, the writer the walkers hand the rows to, and
// what is written after them. The output files themselves (data and LOB
// file) are the command's UnloadOutput, which the format opens.
#pragma once
#include <cstdint>
#include <memory>

#include "base/block_context.h"
#include "base/recovery_report.h"
#include "base/sink.h"
#include "dict/dict_files.h"
#include "dict/dictionary.h"
#include "unload/row_writer.h"
#include "unload/unload_job.h"
#include "unload/unload_options.h"
#include "unload/unload_output.h"

namespace bex {

// What the rows belong to. For UNLOAD OBJECT there is no dictionary: user
// and table are null, and no script, control file or dump header is
// written.
struct UnloadSubject {
  const UserRecord* user = nullptr;
  const ObjectRecord* table = nullptr;
  const char* target = "";  // the AS name or the table's name
  uint32_t objd = 0;
};

// What a format reads of the run: the context the rows are walked with (its
// tags are the ones written), the console, the dictionary its scripts and
// headers come from, and the settings they follow.
struct OutputEnv {
  BlockContext& bc;
  Sink& console;
  const DictFiles& dict;
  uint16_t charset = 0;     // CHARSET
  uint16_t nlsCharset = 0;  // NLSCHARSET
  bool uniqueTname = false;
  bool ignoreNotnull = false;
  bool fieldTagSet = false;  // FIELD_TAG was given a value
  bool emptyFiles = false;   // EMPTY_FILES: an unload without rows keeps its files
};

// Whether the files of the unload are to be left behind: it wrote rows, or
// EMPTY_FILES keeps those of an empty one.
bool keepsFiles(const OutputEnv& env);

class OutputFormat {
 public:
  virtual ~OutputFormat() = default;
  // Opens the output files in out and writes what precedes the rows (a
  // file is created only once it is to stay: see keepsFiles).
  // False, after a one-line message, when this format cannot be written:
  // nothing has been created and the unload ends.
  virtual bool open(const UnloadSubject& s, UnloadOutput& out) = 0;
  // The writer of the rows; valid from a successful open() to close().
  virtual RowWriter& rowWriter() = 0;
  // Writes what follows the rows and closes the files. False when a write
  // failed.
  virtual bool close() = 0;
  // Deletes the files the unload created (EMPTY_FILES off and no rows).
  virtual void removeFiles() = 0;
  // Names the files the unload wrote, for the recovery report.
  virtual void nameFiles(ReportEntry& e) const = 0;
  // What the rows were written to, as messages and the unload log name it.
  virtual const char* dataName(const UnloadOutput& files) const { return files.dataName(); }
};

// Deletes a file an unload made; an empty name is none.
void removeOutputFile(const char* name);

}  // namespace bex
