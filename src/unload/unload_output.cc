#include "unload/unload_output.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

namespace bex {

LazyFileSink::LazyFileSink(const char* name, size_t bufSize)
    : Sink(static_cast<char*>(malloc(bufSize)), bufSize) {
  // A name too long to keep whole is never created under a shortened one.
  const size_t n = strlen(name);
  createFailed_ = n >= sizeof name_;
  memcpy(name_, name, createFailed_ ? 0 : n + 1);
  if (createFailed_) name_[0] = '\0';
}

LazyFileSink::~LazyFileSink() {
  finish(false);
  free(buffer());
}

bool LazyFileSink::create() {
  if (f_) return true;
  if (createFailed_) return false;
  f_ = fopen(name_, "wb+");
  if (!f_) {
    createFailed_ = true;
    return false;
  }
  setvbuf(f_, nullptr, _IONBF, 0);  // the sink does the buffering
  return true;
}

bool LazyFileSink::emit(const char* p, size_t n) {
  if (dropped_) return true;
  return create() && fwrite(p, 1, n, f_) == n;
}

bool LazyFileSink::finish(bool createEmpty) {
  bool ok = flush();
  if (createEmpty && !dropped_ && !create()) ok = false;
  if (f_ && fclose(f_) != 0) ok = false;
  f_ = nullptr;
  dropped_ = true;  // finished: nothing more is written or created
  return ok;
}

bool canCreateFile(const char* name, bool& existed) {
  struct stat st;
  existed = stat(name, &st) == 0;
  if (existed) return !S_ISDIR(st.st_mode) && access(name, W_OK) == 0;
  if (errno != ENOENT) return false;
  const char* slash = strrchr(name, '/');
  if (!slash) return access(".", W_OK | X_OK) == 0;
  const std::string dir(name, slash == name ? 1 : static_cast<size_t>(slash - name));
  return access(dir.c_str(), W_OK | X_OK) == 0;
}

void UnloadOutput::open(const char* name, bool withLob, Sink& console) {
  close(false);
  console_ = &console;
  snprintf(dataName_, sizeof dataName_, "%s", name);
  lob_.name[0] = '\0';
  dataExisted_ = dataCreated_ = lobExisted_ = false;
  if (!*name) return;
  if (!canCreateFile(name, dataExisted_)) {
    console.error("  Cannot create file %s, rows go to the console.\n", name);
    return;
  }
  data_ = std::make_unique<LazyFileSink>(name, kOutputBufferSize);
  if (!withLob) return;
  lobFileName(name, lob_.name, sizeof lob_.name);
  if (!canCreateFile(lob_.name, lobExisted_)) return;
  lobSink_ = std::make_unique<LazyFileSink>(lob_.name, kOutputBufferSize);
  lob_.sink = lobSink_.get();
}

bool UnloadOutput::close(bool keepData) {
  bool ok = true;
  if (data_) {
    dataCreated_ = keepData || data_->created();
    if (!dataCreated_) data_->discard();
    ok = data_->finish(keepData);
    data_.reset();
    if (!ok) console_->noteError();
  }
  if (lobSink_) {
    if (!lobSink_->finish(false)) ok = false;
    // An empty LOB file is never left, not even one there before.
    if (lobSink_->bytesWritten() == 0 && lobExisted_) remove(lob_.name);
    lobSink_.reset();
  }
  lob_.sink = nullptr;
  return ok;
}

void UnloadOutput::removeData() {
  if (dataName_[0] && (dataExisted_ || dataCreated_)) remove(dataName_);
}

}  // namespace bex
