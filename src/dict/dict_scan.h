// One streaming pass over a dictionary file: every line the reader accepts
// is handed to the visitor as a record on the stack. The visitor returns
// true to end the pass early.
#pragma once
#include <string_view>

#include "dict/dict_files.h"

namespace bex {

// False when the file cannot be opened.
template <class Record, class Visit>
bool forEachRecord(const std::string& path, bool (*read)(std::string_view, Record&), Visit&& visit) {
  DictLineReader in(path.c_str());
  if (!in.opened()) return false;
  std::string_view line;
  while (in.next(line)) {
    Record r;
    if (read(line, r) && visit(static_cast<const Record&>(r))) break;
  }
  return true;
}

}  // namespace bex
