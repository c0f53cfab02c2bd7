#include "commands/unload/output_format.h"

#include <cstdio>
#include <string>
#include <string_view>

#include "run/run_context.h"
#include "unload/control_file.h"
#include "commands/unload/dump_output.h"
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
    if (!chooseTags()) return false;
    if (s.table && job_.outputName[0]) writeScripts(s);
    out_.open(job_.outputName, true, rc_.out);
    opened_ = out_.opened();
    writer_ = makeRowWriter(rc_.bc, job_, out_.data(), out_.lob(), rc_.out);
    return true;
  }
  RowWriter& rowWriter() override { return *writer_; }
  Sink& dataSink() override { return out_.data(); }
  LobFile& lobFile() override { return out_.lob(); }
  bool toFile() const override { return opened_; }
  std::unique_ptr<RowWriter> makeRowWriter(BlockContext& bc, UnloadJob& job, Sink& data, LobFile& lob,
                                           Sink& console) override {
    return std::make_unique<TextRowWriter>(bc, job, data, lob, console, job.columns.count, opts_.rowAddress);
  }
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

 protected:
  // The job's tags are the settings' (UNLOAD took them); false, after a
  // message, when this format cannot write with them.
  virtual bool chooseTags() { return true; }
  virtual bool enclosesValues() const { return false; }

  RunContext& rc_;
  UnloadJob& job_;
  const UnloadOptions opts_;

 private:
  void writeScripts(const UnloadSubject& s) {
    syntaxScriptName(job_.owner, s.target, s.objd, syntax_, sizeof syntax_);
    std::string create;
    buildCreateTable(rc_.dictDir, *s.table, s.target, true, rc_.settings.uniqueTname, s.objd,
                     rc_.settings.ignoreNotnull, create);
    report(writeSyntaxScript(syntax_, create.c_str()), syntax_);
    controlFileName(job_.owner, s.target, job_.partition, s.objd, control_, sizeof control_);
    const std::string_view field = job_.tags.field, record = job_.tags.record;
    ControlFileSpec cs{job_.tableArg, job_.outputName, s.target, s.objd, rc_.settings.uniqueTname != 0,
                       opts_.rowAddress, field.data(), static_cast<uint32_t>(field.size()), record.data(),
                       static_cast<uint32_t>(record.size()), &job_.columns, enclosesValues()};
    report(writeControlFile(control_, cs), control_);
  }
  // A script that cannot be created is passed over in silence; one that
  // could not be written whole is said to be incomplete, like the data file.
  void report(ScriptFile result, const char* name) {
    if (result == ScriptFile::kWriteFailed) rc_.out.error("  Write error on %s, the file is incomplete!\n", name);
  }

  UnloadOutput out_;
  std::unique_ptr<RowWriter> writer_;
  bool opened_ = false;
  char syntax_[kGeneratedNameMax + 1] = "";
  char control_[kGeneratedNameMax + 1] = "";
};

// RFC 4180 rows: the field tag as separator ("," unless FIELD_TAG was
// set), a line feed at the end of each record and of each LOB value,
// values enclosed in double quotes when they must be. The control file
// reads the quotes.
class CsvFormat : public TextFormat {
 public:
  using TextFormat::TextFormat;

 protected:
  bool chooseTags() override {
    if (!rc_.settings.fieldTagSet) job_.tags.field = ",";
    job_.tags.record = "\n";
    const std::string_view separator = job_.tags.field;
    if (separator.empty() || separator.find_first_of("\"\r\n") != std::string_view::npos) {
      rc_.out.error("  FIELD_TAG cannot hold a double quote, CR or LF in CSV style!\n");
      return false;
    }
    return true;
  }
  std::unique_ptr<RowWriter> makeRowWriter(BlockContext& bc, UnloadJob& job, Sink& data, LobFile& lob,
                                           Sink& console) override {
    return std::make_unique<CsvRowWriter>(bc, job, data, lob, console, job.columns.count, opts_.rowAddress);
  }
  bool enclosesValues() const override { return true; }
};

// The export dump of one table: header and table start, the rows in their
// stored form, the trailer. Without a TO name the file is "bexdata.dmp".
class DumpFormat : public OutputFormat {
 public:
  DumpFormat(RunContext& rc, UnloadJob& job) : rc_(rc), job_(job) {}

  bool open(const UnloadSubject& s) override {
    out_.open(job_.outputName[0] ? job_.outputName : kDefaultDumpName, false, rc_.out);
    opened_ = out_.opened();
    if (opened_ && s.table) writeDumpPrologue(rc_, job_, *s.user, *s.table, s.objd, out_.data());
    writer_ = makeDumpRowWriter(rc_.bc, job_, out_.data(), rc_.out);
    return writer_ != nullptr;
  }
  RowWriter& rowWriter() override { return *writer_; }
  Sink& dataSink() override { return out_.data(); }
  LobFile& lobFile() override { return out_.lob(); }
  bool toFile() const override { return opened_; }
  std::unique_ptr<RowWriter> makeRowWriter(BlockContext& bc, UnloadJob& job, Sink& data, LobFile&,
                                           Sink& console) override {
    return makeDumpRowWriter(bc, job, data, console);
  }
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
    case kStyleCsv: return std::make_unique<CsvFormat>(rc, job, opts);
    case kStyleTxt: break;
  }
  return std::make_unique<TextFormat>(rc, job, opts);
}

}  // namespace bex
