#include "unload/output_format.h"

#include <cstdio>
#include <optional>
#include <string>

#include "run/run_context.h"
#include "unload/control_file.h"
#include "unload/dump_output.h"
#include "unload/text_row_writer.h"
#include "unload/unload_output.h"

namespace bex {

namespace {

constexpr const char* kDefaultDumpName = "bexdata.dmp";
constexpr size_t kGeneratedNameMax = 4 * kFileNameMax;

void removeNamed(const char* name) {
  if (*name) remove(name);
}

// Delimited rows in the data file (the console without a TO name), LOB
// values in the LOB file; for a table unloaded to a TO file, the syntax
// script and the control file first.
class TextFormat : public OutputFormat {
 public:
  TextFormat(RunContext& rc, UnloadJob& job, const UnloadOptions& opts) : rc_(rc), job_(job), opts_(opts) {}

  bool open(const UnloadSubject& s) override {
    if (s.table && job_.outputName[0]) writeScripts(s);
    out_.open(job_.outputName, true, rc_.out);
    opened_ = out_.opened();
    writer_.emplace(rc_.bc, job_, out_.data(), out_.lob(), rc_.out, job_.columns.count, opts_.rowAddress);
    return true;
  }
  RowWriter& rowWriter() override { return *writer_; }
  bool close() override {
    writer_.reset();
    return out_.close();
  }
  const char* dataName() const override { return out_.dataName(); }
  void removeFiles() override {
    if (opened_) removeNamed(out_.dataName());
    removeNamed(syntax_);
    removeNamed(control_);
  }
  void nameFiles(ReportEntry& e) const override {
    for (const char* name : {out_.dataName(), out_.lobName(), syntax_, control_}) e.wrote(name);
  }

 private:
  void writeScripts(const UnloadSubject& s) {
    syntaxScriptName(job_.owner, s.target, s.objd, syntax_, sizeof syntax_);
    std::string create;
    buildCreateTable(rc_.dictDir, *s.table, s.target, true, rc_.settings.uniqueTname, s.objd,
                     rc_.settings.ignoreNotnull, create);
    report(writeSyntaxScript(syntax_, create.c_str()), syntax_);
    controlFileName(job_.owner, s.target, job_.partition, s.objd, control_, sizeof control_);
    const BlockContext& bc = rc_.bc;
    ControlFileSpec cs{job_.tableArg, job_.outputName, s.target, s.objd, rc_.settings.uniqueTname != 0,
                       opts_.rowAddress, bc.fieldTag, bc.fieldTagLen, bc.recordTag, bc.recordTagLen, &job_.columns};
    report(writeControlFile(control_, cs), control_);
  }
  // A script that cannot be created is passed over in silence; one that
  // could not be written whole is said to be incomplete, like the data file.
  void report(ScriptFile result, const char* name) {
    if (result == ScriptFile::kWriteFailed) rc_.out.error("  Write error on %s, the file is incomplete!\n", name);
  }

  RunContext& rc_;
  UnloadJob& job_;
  const UnloadOptions opts_;
  UnloadOutput out_;
  std::optional<TextRowWriter> writer_;
  bool opened_ = false;
  char syntax_[kGeneratedNameMax + 1] = "";
  char control_[kGeneratedNameMax + 1] = "";
};

// The export dump of one table: header and table start, the rows in their
// stored form, the trailer. Without a TO name the file is "bexdata.dmp".
class DumpFormat : public OutputFormat {
 public:
  DumpFormat(RunContext& rc, UnloadJob& job) : rc_(rc), job_(job) {}

  bool open(const UnloadSubject& s) override {
    if (!dumpOutputAvailable()) {
      rc_.out.error("  Export dump output is not available in this build.\n");
      return false;
    }
    out_.open(job_.outputName[0] ? job_.outputName : kDefaultDumpName, false, rc_.out);
    opened_ = out_.opened();
    if (opened_ && s.table) writeDumpPrologue(rc_, job_, *s.user, *s.table, s.objd, out_.data());
    writer_ = makeDumpRowWriter(rc_, job_, out_.data());
    return writer_ != nullptr;
  }
  RowWriter& rowWriter() override { return *writer_; }
  bool close() override {
    if (opened_) writeDumpEpilogue(out_.data());
    writer_.reset();
    return out_.close();
  }
  const char* dataName() const override { return out_.dataName(); }
  void removeFiles() override {
    if (opened_) removeNamed(out_.dataName());
  }

 private:
  RunContext& rc_;
  UnloadJob& job_;
  UnloadOutput out_;
  std::unique_ptr<RowWriter> writer_;
  bool opened_ = false;
};

}  // namespace

std::unique_ptr<OutputFormat> makeOutputFormat(RunContext& rc, UnloadJob& job, const UnloadOptions& opts) {
  switch (opts.style) {
    case kStyleDmp: return std::make_unique<DumpFormat>(rc, job);
    case kStyleTxt: break;
  }
  return std::make_unique<TextFormat>(rc, job, opts);
}

}  // namespace bex
