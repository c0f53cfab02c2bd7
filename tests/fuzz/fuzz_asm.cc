// Arbitrary bytes as the metadata of a one-disk ASM group: the file
// directory's first AU and the AUs after it (indirect blocks, alias
// blocks, data) come from the input behind a sound disk header; its last
// byte picks the redundancy (with mirrors, damaged metadata is looked for
// in their copies). Opening the group, finding, reading and copying files
// (through a map file of the input's bytes too) and every listing command
// must end cleanly, whatever the entries, indirect blocks and pointers say.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "commands/asm/asm_commands.h"
#include "asm/asm_file.h"
#include "run/run_context.h"

namespace {

constexpr uint32_t kAu = 8192, kAus = 12;

std::vector<uint8_t> image(const uint8_t* data, size_t size) {
  std::vector<uint8_t> disk(kAu * kAus, 0);
  uint8_t* h = disk.data();
  h[0] = 1, h[2] = 1, h[3] = 1;
  h[218] = 0x00, h[219] = 0x10;  // metadata blocks of 4096
  memcpy(h + 220, &kAu, 4);
  h[244] = 1;  // the file directory in AU 1
  h[70] = size ? static_cast<uint8_t>(1 + data[size - 1] % 3) : 1;  // EXTERNAL, NORMAL or HIGH
  memcpy(disk.data() + kAu, data, std::min<size_t>(size, kAu * (kAus - 1)));
  return disk;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::string dir = [] {
    char tmpl[] = "/tmp/bex-fuzz-asm.XXXXXX";
    return std::string(mkdtemp(tmpl));
  }();
  static FILE* devnull = fopen("/dev/null", "w");
  static bex::FileSink out(devnull);
  static bex::RunContext rc(stdin, out, dir);
  std::vector<uint8_t> disk = image(data, size);
  FILE* f = fopen((dir + "/d0.img").c_str(), "wb");
  fwrite(disk.data(), 1, disk.size(), f);
  fclose(f);
  f = fopen((dir + "/disks.lst").c_str(), "w");
  fprintf(f, "%s/d0.img\n", dir.c_str());
  fclose(f);
  f = fopen((dir + "/map.txt").c_str(), "wb");
  fwrite(data, 1, size, f);
  fclose(f);
  auto run = [](const std::string& s) {
    rc.cmd.set(s);
    rc.cmd.nextToken();
    bex::cmdAsm(rc);
  };
  run("ASM OPEN " + dir + "/disks.lst");
  for (const char* c : {"ASM LIST", "ASM FILE", "ASM ALIAS", "ASM LSAU DISK 0 AU 1 COUNT 11", "ASM SCAN",
                        "ASM FMAP FILE 1", "ASM FMAP FILE 3", "ASM FMAP2 FILE 3 OFFSET 2", "ASM DUMP FILE 3 OFFSET 1"})
    run(c);
  run("ASM COPY FILE 3 TO " + dir + "/copy");
  run("ASM SCOPY FILE 3 TO " + dir + "/copy");
  run("ASM COPY FILE 3 TO " + dir + "/copy MAP " + dir + "/map.txt");
  std::vector<uint8_t> buf(3 * kAu);
  for (uint32_t n = 1; n < 8; n++) {
    std::unique_ptr<bex::AsmFile> file = bex::OpenAsmFile(rc.asmContext.group, n);
    if (!file) continue;
    for (uint64_t at : {uint64_t{0}, uint64_t{kAu} - 7, file->length / 2, file->length > 5 ? file->length - 5 : 0})
      bex::readAsmBytes(*file, at, buf.data(), buf.size(), file->length);
  }
  return 0;
}
