#include "unload/banner.h"

#include <cstdio>
#include <cstring>

namespace bex {

namespace {

// __DATE__ is "Mmm dd yyyy"; the control file shows the ISO form.
struct BuildDate {
  char text[32];
  BuildDate() {
    static const char kMonths[] = "JanFebMarAprMayJunJulAugSepOctNovDec";
    const char* d = __DATE__;
    int month = 1;
    for (int m = 0; m < 12; m++)
      if (memcmp(d, kMonths + 3 * m, 3) == 0) month = m + 1;
    int day = (d[4] == ' ' ? 0 : d[4] - '0') * 10 + (d[5] - '0');
    snprintf(text, sizeof text, "%.4s-%02d-%02d %.8s", d + 7, month, day, __TIME__);
  }
};

const BuildDate kBuildDate;

}  // namespace

const char* bannerLine() { return "BEX 1.0 Oracle data file unloader, built "; }
const char* bannerBuildDate() { return kBuildDate.text; }
const char* bannerSecondLine() { return "Rows read straight from the data file blocks, no instance needed"; }

}  // namespace bex
