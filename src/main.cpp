// bex: reads Oracle data files block by block and unloads their data.
#include <sys/resource.h>
#include <sys/stat.h>

#include <cstdio>

#include "base/dict_directory.h"
#include "base/sink.h"
#include "shell/command_loop.h"

namespace {

constexpr rlim_t kOpenFilesWanted = 8192;

// Data files, LOB maps and ASM disks may all be open at once. Where the
// limit cannot be raised to 8192 the run goes on with what there is.
void raiseOpenFileLimit(bex::Sink& out) {
  struct rlimit rl;
  if (getrlimit(RLIMIT_NOFILE, &rl) != 0) return;
  if (rl.rlim_cur >= kOpenFilesWanted) return;
  struct rlimit want = rl;
  want.rlim_cur = rl.rlim_max == RLIM_INFINITY || rl.rlim_max >= kOpenFilesWanted ? kOpenFilesWanted : rl.rlim_max;
  if (setrlimit(RLIMIT_NOFILE, &want) == 0) rl = want;
  if (rl.rlim_cur < kOpenFilesWanted)
    out.printf("  Only %llu files can be open at once (8192 wanted).\n", static_cast<unsigned long long>(rl.rlim_cur));
}

}  // namespace

int main() {
  // The console sink does the buffering; stdio adds none of its own.
  setvbuf(stdout, nullptr, _IONBF, 0);
  bex::FileSink out(stdout);
  raiseOpenFileLimit(out);
  mkdir(bex::DictDirectory::kDefault, 0777);
  bex::commandLoop(stdin, out);
  out.flush();
  return 0;
}
