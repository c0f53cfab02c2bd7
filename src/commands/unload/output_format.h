// The output of one UNLOAD, chosen once from its options: what is written
// before the rows, the writer the walkers hand the rows to, and what is
// written after them. Text (delimited rows, LOB file, control file and
// CREATE TABLE script) is the format written today; the export dump
// answers through the same interface.
#pragma once
#include <cstdint>
#include <memory>

#include "base/recovery_report.h"
#include "dict/dictionary.h"
#include "unload/lob_column.h"
#include "unload/row_writer.h"
#include "unload/unload_job.h"
#include "unload/unload_options.h"

namespace bex {

struct RunContext;

// What the rows belong to. For UNLOAD OBJECT there is no dictionary: user
// and table are null, and no script, control file or dump header is
// written.
struct UnloadSubject {
  const UserRecord* user = nullptr;
  const ObjectRecord* table = nullptr;
  const char* target = "";  // the AS name or the table's name
  uint32_t objd = 0;
};

class OutputFormat {
 public:
  virtual ~OutputFormat() = default;
  // Creates the output files and writes what precedes the rows. False,
  // after a one-line message, when this format cannot be written: nothing
  // has been created and the unload ends.
  virtual bool open(const UnloadSubject& s) = 0;
  // The writer of the rows; valid from a successful open() to close().
  virtual RowWriter& rowWriter() = 0;
  // Writes what follows the rows and closes the files. False when a write
  // failed.
  virtual bool close() = 0;
  // The data file as messages and the unload log name it.
  virtual const char* dataName() const = 0;
  // Deletes the files the unload created (EMPTY_FILES off and no rows).
  virtual void removeFiles() = 0;
  // For a walk by several threads: where the rows go (the console when no
  // data file could be made), and a writer like rowWriter()'s for one
  // worker, writing with its own context and job into its own sinks.
  virtual Sink& dataSink() = 0;
  virtual LobFile& lobFile() = 0;
  virtual bool toFile() const = 0;
  virtual std::unique_ptr<RowWriter> makeRowWriter(BlockContext& bc, UnloadJob& job, Sink& data, LobFile& lob,
                                                   Sink& console) = 0;
  // Names the files the unload wrote, for the recovery report.
  virtual void nameFiles(ReportEntry& e) const { e.wrote(dataName()); }
};

// The format of opts.style for this command.
std::unique_ptr<OutputFormat> makeOutputFormat(RunContext& rc, UnloadJob& job, const UnloadOptions& opts);

}  // namespace bex
