// Feeds a few thousand random lines into bex and expects it to read them all
// and exit cleanly.
// Lines that would start programs (HOST, "!") or scripts ("@") are left
// out; everything else, keywords with random arguments included, goes in.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  const char* words[] = {"SET", "OPEN", "OSDUMP", "BCHECK", "CORRUPT", "SKIP", "ORADUMP", "LIST", "LOAD", "LOG",
                         "SAMPLE", "UNLOAD", "CHECK", "REM", "DESC", "DESCRIBE", "ROWID", "RMAN", "SCAN", "HELP",
                         "ASM", "BLOCK_SIZE", "FIELD_TAG", "CACHE_SIZE", "CHARSET", "ICONV_NCHAR", "CREATE", "PARSE",
                         "OBJECT", "FILE", "BLOCK", "RDBA", "SLOT", "CLEAR", ";", ".", "0x", "-1", "99999999999"};
  char dir[] = "/tmp/bex-random.XXXXXX";
  if (!mkdtemp(dir)) return 2;
  std::string input = std::string(dir) + "/input.sql";
  FILE* f = fopen(input.c_str(), "w");
  std::mt19937 rng(20261208);
  for (int line = 0; line < 4000; line++) {
    std::string s;
    int tokens = static_cast<int>(rng() % 8);
    for (int t = 0; t < tokens; t++) {
      if (rng() % 2) {
        s += words[rng() % (sizeof words / sizeof words[0])];
      } else {
        int len = static_cast<int>(rng() % (rng() % 50 == 0 ? 1500 : 20));
        for (int i = 0; i < len; i++) {
          char c = static_cast<char>(rng() % 255 + 1);
          if (c == '\n') c = 'n';
          s += c;
        }
      }
      s += rng() % 3 ? " " : "\t";
    }
    size_t first = s.find_first_not_of(" \t\r\v\f");
    if (first != std::string::npos) {
      std::string head = s.substr(first, 4);
      for (char& c : head) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
      if (head[0] == '!' || head[0] == '@' || head.rfind("HOST", 0) == 0) s[first] = '#';
      if (head.rfind("EXIT", 0) == 0) s[first] = 'X';
    }
    fprintf(f, "%s\n", s.c_str());
  }
  // A statement left open ends at the ";"; the mark shows that every line was read.
  fprintf(f, ";\nHOST echo random-input-read\n");
  fclose(f);
  std::string cmd = std::string("cd ") + dir + " && timeout 120 " + argv[1] + " < input.sql > output.txt 2>&1";
  int status = system(cmd.c_str());
  int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128;
  std::string seen = std::string("grep -qE '^(BEX> )*random-input-read$' ") + dir + "/output.txt";
  if (code == 0 && system(seen.c_str()) != 0) {
    fprintf(stderr, "bex stopped reading before the last line\n");
    code = 1;
  }
  std::string clean = std::string("rm -rf ") + dir;
  if (code == 0) (void)system(clean.c_str());
  else fprintf(stderr, "bex ended with status %d; input kept in %s\n", code, dir);
  return code == 0 ? 0 : 1;
}
