#include "run/source_opener.h"

namespace bex {

bool SourceOpener::namesPlainFile(const char* path) const {
  for (const Storage* s : storages_)
    if (s->names(path)) return false;
  return true;
}

std::unique_ptr<ByteSource> SourceOpener::open(const char* path, Sink& out) {
  for (Storage* s : storages_)
    if (s->names(path)) return s->open(path, out);
  std::unique_ptr<ByteSource> file = FileSource::open(path);
  if (!file) out.error("Cannot open file : %s \n", path);
  return file;
}

}  // namespace bex
