// The words of an UNLOAD statement: options read left to right, each
// followed by one word; a later option overwrites an earlier one of the same
// kind, except COLUMN, which appends every word up to the next option.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "base/block_context.h"
#include "base/cmdline.h"
#include "base/sink.h"
#include "unload/output_style.h"
#include "unload/unload_job.h"

namespace bex {

inline constexpr uint64_t kMinRowLimit = 10;

// The settings one UNLOAD reads, as the command's own values: the command
// changes its copy (a ".DMP" TO name, the text an UNLOAD OBJECT writes)
// and never writes the settings back.
struct UnloadOptions {
  uint64_t rowLimit = 0;          // LIMIT; 0: not given
  const OutputStyleSpec* style = defaultOutputStyle();  // OUTPUT_STYLE
  bool rowAddress = false;        // ROW_ADDRESS: each row starts with its address
  std::string pgTarget;           // rows into this PostgreSQL server; empty: files
  bool append = false;            // APPEND: into a table that holds rows already
};

// The options of an UNLOAD before its words are read: the settings.
UnloadOptions unloadOptionsFromSettings(const BlockContext& bc, const OutputStyleSpec* style);

// Type code of a COLUMN word: keywords match by their beginning, ignoring
// case, longer keywords first; any other word is UNKNOWN (253).
ColumnTypeCode columnTypeCode(std::string_view word);

// Reads the options after the UNLOAD keyword into job. Returns false, after a
// one-line message, when a value is longer than its field (nothing has been
// read from the data files then).
bool parseUnloadOptions(CommandLine& cl, UnloadJob& job, UnloadOptions& opts, Sink& out);

// The style of an UNLOAD TABLE: a TO name longer than 4 characters decides
// (the style its extension names, see styleOfName; for any other name the
// setting, or the default style when the setting is one only a TO name
// chooses), else the setting.
void chooseStyleByName(UnloadOptions& opts, std::string_view outputName);

// "owner.table" split at the first "."; false when a part is longer than
// kNameTokenMax (the parts are then left empty).
bool splitTableName(const char* arg, UnloadJob& job);

// The usage text of UNLOAD.
void printUnloadUsage(Sink& out);

}  // namespace bex
