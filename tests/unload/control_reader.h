// A reader of SQL*Loader control files and of the data they describe, for
// the tests: it reads what the control-file syntax says (INFILE with its
// record terminator, PRESERVE BLANKS, FIELDS [CSV WITH EMBEDDED]
// TERMINATED BY, OPTIONALLY ENCLOSED BY, TRAILING NULLCOLS, the field
// list with FILLER, CHAR(n), DATE and TIMESTAMP masks, NULLIF ... =BLANKS
// and LLS) and loads the data file as SQL*Loader would, without looking at
// how BEX writes either.
#pragma once
#include <optional>
#include <string>
#include <vector>

namespace bex::testing {

struct LoaderField {
  std::string name;
  bool filler = false;
  bool lls = false;          // the value is a LOB location specifier
  size_t maxLength = 255;    // CHAR without a length takes 255 bytes
  std::string mask;          // DATE and TIMESTAMP fields
  bool nullifBlanks = false;
};

struct LoaderControl {
  std::string infile, table;
  std::string recordEnd = "\n";  // STR, else the stream default
  std::string separator;
  bool enclosed = false;         // OPTIONALLY ENCLOSED BY '"'
  bool embedded = false;         // CSV WITH EMBEDDED: record ends inside quotes
  bool preserveBlanks = false;
  bool trailingNullcols = false;
  std::vector<LoaderField> fields;
};

using LoaderValue = std::optional<std::string>;
using LoaderRow = std::vector<LoaderValue>;  // one value per field that is not a filler

// False, with a reason, for anything the reader does not know.
bool parseControl(const std::string& text, LoaderControl& out, std::string& error);

// The rows of the data file (dir/INFILE), LOB values read from their LOB
// files. False, with the record, on a record SQL*Loader would reject.
bool loadRows(const LoaderControl& c, const std::string& dir, std::vector<LoaderRow>& rows, std::string& error);

}  // namespace bex::testing
