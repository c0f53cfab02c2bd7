// DictDirectory: the directory the run keeps its own files in: the
// dictionary files, the scan listings (extents, LOB runs) and the LOB maps.
// The RunContext holds the one of the run; everything that reads or writes
// those files is handed it, so nothing depends on the working directory but
// the default name.
#pragma once
#include <string>
#include <string_view>

namespace bex {

class DictDirectory {
 public:
  // Created in the working directory when the program starts.
  static constexpr const char* kDefault = "BEXDICT";

  explicit DictDirectory(std::string path = kDefault) : path_(std::move(path)) {}

  const std::string& path() const { return path_; }
  // The file of that name in the directory ("BEXDICT/BEXUSR.TXT").
  std::string file(std::string_view name) const {
    std::string p = path_;
    p += '/';
    p += name;
    return p;
  }
  // A scan listing: "stem.TXT", or with a worker number the one that scan
  // worker writes, "stem.NN.TXT".
  std::string listingFile(std::string_view stem, int worker = -1) const {
    std::string name(stem);
    if (worker >= 0) {
      name += '.';
      if (worker < 10) name += '0';
      name += std::to_string(worker);
    }
    name += ".TXT";
    return file(name);
  }

 private:
  std::string path_;
};

}  // namespace bex
