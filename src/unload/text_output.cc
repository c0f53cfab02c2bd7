#include "unload/text_output.h"

#include <string>
#include <string_view>

#include "unload/control_file.h"
#include "unload/output_style.h"
#include "unload/text_row_writer.h"

namespace bex {

namespace {

constexpr size_t kGeneratedNameMax = 4 * kFileNameMax;

// Delimited rows in the data file (the console without a TO name), LOB
// values in the LOB file; for a table unloaded to a TO file, the syntax
// script and the control file first.
class TextFormat : public OutputFormat {
 public:
  TextFormat(const OutputEnv& env, UnloadJob& job, const UnloadOptions& opts, RowWriterMaker makeWriter)
      : env_(env), job_(job), opts_(opts), makeWriter_(makeWriter) {}

  bool open(const UnloadSubject& s, UnloadOutput& out) override {
    if (!chooseTags()) return false;
    if (s.table && job_.outputName[0]) buildScripts(s);
    out_ = &out;
    out.open(job_.outputName, true, env_.console);
    opened_ = out.opened();
    writer_ = makeWriter_(env_.bc, job_, out.data(), out.lob(), env_.console, opts_.rowAddress);
    return true;
  }
  RowWriter& rowWriter() override { return *writer_; }
  bool close() override {
    writer_.reset();
    if (keepsFiles(env_)) writeScripts();
    return out_->close(keepsFiles(env_));
  }
  void removeFiles() override {
    if (opened_) out_->removeData();
    removeOutputFile(syntax_);
    removeOutputFile(control_);
  }
  void nameFiles(ReportEntry& e) const override {
    for (const char* name : {out_->dataName(), out_->lobName(), syntax_, control_}) e.wrote(name);
  }

 protected:
  // The job's tags are the settings' (UNLOAD took them); false, after a
  // message, when this format cannot write with them.
  virtual bool chooseTags() { return true; }
  virtual bool enclosesValues() const { return false; }

  const OutputEnv env_;
  UnloadJob& job_;
  const UnloadOptions opts_;

 private:
  // The scripts' texts, written once the unload is known to keep its files.
  void buildScripts(const UnloadSubject& s) {
    syntaxScriptName(job_.owner, s.target, s.objd, syntax_, sizeof syntax_);
    std::string create;
    buildCreateTable(env_.dict, *s.table, s.target, true, env_.uniqueTname, s.objd, env_.ignoreNotnull, create);
    syntaxText_ = syntaxScriptText(create.c_str());
    controlFileName(job_.owner, s.target, job_.partition, s.objd, control_, sizeof control_);
    const std::string_view field = job_.tags.field, record = job_.tags.record;
    ControlFileSpec cs{job_.tableArg, job_.outputName, s.target, s.objd, env_.uniqueTname,
                       opts_.rowAddress, field.data(), static_cast<uint32_t>(field.size()), record.data(),
                       static_cast<uint32_t>(record.size()), &job_.columns, enclosesValues()};
    controlText_ = controlFileText(cs);
  }
  void writeScripts() {
    if (!syntax_[0]) return;
    report(writeScriptFile(syntax_, syntaxText_), syntax_);
    report(writeScriptFile(control_, controlText_), control_);
  }
  // A script that cannot be created is passed over in silence; one that
  // could not be written whole is said to be incomplete, like the data file.
  void report(ScriptFile result, const char* name) {
    if (result == ScriptFile::kWriteFailed) env_.console.error("  Write error on %s, the file is incomplete!\n", name);
  }

  const RowWriterMaker makeWriter_;
  UnloadOutput* out_ = nullptr;
  std::unique_ptr<RowWriter> writer_;
  bool opened_ = false;  // the data file was created (close() ends what opened() tells)
  char syntax_[kGeneratedNameMax + 1] = "";
  char control_[kGeneratedNameMax + 1] = "";
  std::string syntaxText_, controlText_;
};

// RFC 4180 rows: the field tag as separator ("," unless FIELD_TAG was
// set), a line feed at the end of each record and of each LOB value,
// values enclosed in double quotes when they must be. The control file
// reads the quotes.
class CsvFormat : public TextFormat {
 public:
  CsvFormat(const OutputEnv& env, UnloadJob& job, const UnloadOptions& opts)
      : TextFormat(env, job, opts, makeCsvRowWriter) {}

 protected:
  bool chooseTags() override {
    if (!env_.fieldTagSet) job_.tags.field = ",";
    job_.tags.record = "\n";
    const std::string_view separator = job_.tags.field;
    if (separator.empty() || separator.find_first_of("\"\r\n") != std::string_view::npos) {
      env_.console.error("  FIELD_TAG cannot hold a double quote, CR or LF in CSV style!\n");
      return false;
    }
    return true;
  }
  bool enclosesValues() const override { return true; }
};

}  // namespace

std::unique_ptr<OutputFormat> makeTextFormat(const OutputEnv& env, UnloadJob& job, const UnloadOptions& opts) {
  return std::make_unique<TextFormat>(env, job, opts, makeTextRowWriter);
}

std::unique_ptr<OutputFormat> makeCsvFormat(const OutputEnv& env, UnloadJob& job, const UnloadOptions& opts) {
  return std::make_unique<CsvFormat>(env, job, opts);
}

std::unique_ptr<RowWriter> makeTextRowWriter(BlockContext& bc, UnloadJob& job, Sink& data, LobFile& lob,
                                             Sink& console, bool rowAddress) {
  return std::make_unique<TextRowWriter>(bc, job, data, lob, console, job.columns.count, rowAddress);
}

std::unique_ptr<RowWriter> makeCsvRowWriter(BlockContext& bc, UnloadJob& job, Sink& data, LobFile& lob,
                                            Sink& console, bool rowAddress) {
  return std::make_unique<CsvRowWriter>(bc, job, data, lob, console, job.columns.count, rowAddress);
}

}  // namespace bex
