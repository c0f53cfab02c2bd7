// SourceOpener: the one place the run opens the data files of its registry
// slots. Each storage the run reads from is asked in turn whether a slot's
// path names one of its files ("+n" an ASM file, "RMAN FILE n" a file on
// the backup pieces); a path none of them names is an operating-system
// file. A new kind of storage is one more entry in the RunContext's list.
#pragma once
#include <initializer_list>
#include <memory>
#include <vector>

#include "base/byte_source.h"
#include "base/sink.h"

namespace bex {

class SourceOpener final : public Storage {
 public:
  // The storages, asked in this order; they outlive the opener.
  explicit SourceOpener(std::initializer_list<Storage*> storages) : storages_(storages) {}

  bool names(const char*) const override { return true; }
  // True when path names an operating-system file: no storage names it.
  bool namesPlainFile(const char* path) const;
  std::unique_ptr<ByteSource> open(const char* path, Sink& out) override;

 private:
  std::vector<Storage*> storages_;
};

}  // namespace bex
