// The program's banner lines, as written at the top of generated control
// files.
#pragma once

namespace bex {

const char* bannerLine();       // product and version, ends with a blank
const char* bannerBuildDate();  // "YYYY-MM-DD HH:MM:SS" of the build
const char* bannerSecondLine();

}  // namespace bex
