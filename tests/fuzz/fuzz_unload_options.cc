// Arbitrary UNLOAD statements through the option parser (no block is read):
// every option word, over-long values, COLUMN words by their beginning.
#include <memory>
#include <string>

#include "base/cmdline.h"
#include "unload/unload_options.h"

namespace {

class NullSink : public bex::Sink {
 public:
  NullSink() : Sink(buf_, sizeof buf_) {}

 protected:
  bool emit(const char*, size_t) override { return true; }

 private:
  char buf_[4096];
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static NullSink out;
  static bex::CommandLine cl;
  static auto job = std::make_unique<bex::UnloadJob>();
  cl.set(std::string_view(reinterpret_cast<const char*>(data), size));
  *job = bex::UnloadJob{};
  bex::UnloadOptions opts;
  bex::parseUnloadOptions(cl, *job, opts, out);
  cl.rewind();
  while (cl.nextToken()) {
    bex::columnTypeCode(cl.token());
    bex::styleOfName(cl.token());
  }
  std::string arg(reinterpret_cast<const char*>(data), size < 4096 ? size : 4096);
  bex::splitTableName(arg.c_str(), *job);
  return 0;
}
