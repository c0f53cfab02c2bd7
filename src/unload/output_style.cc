#include "unload/output_style.h"

#include "base/cmdline.h"
#include "base/sink.h"
#include "unload/dump_output.h"
#include "unload/field_output.h"
#include "unload/text_output.h"

namespace bex {

namespace {

bool referencesInPlace(const LobFile&, const UnloadJob&) { return true; }

const OutputStyleSpec kOutputStyles[] = {
    {"TXT", "txt", makeTextFormat, makeTextRowWriter, false, false, false, false, referencesInPlace},
    {"DMP", "dmp", makeDumpFormat, makeDumpRowWriter, true, true, true, false, referencesInPlace},
    {"CSV", "csv", makeCsvFormat, makeCsvRowWriter, false, true, false, true, csvLobReferencesInPlace},
};

bool endsWithExtension(std::string_view name, std::string_view ext) {
  return name.size() > ext.size() + 1 && name[name.size() - ext.size() - 1] == '.' &&
         keywordMatch(name.substr(name.size() - ext.size()), ext);
}

}  // namespace

std::span<const OutputStyleSpec> outputStyles() { return kOutputStyles; }

const OutputStyleSpec* findOutputStyle(std::string_view word) {
  for (const OutputStyleSpec& s : kOutputStyles)
    if (keywordMatch(word, s.name)) return &s;
  return nullptr;
}

const OutputStyleSpec* styleOfName(std::string_view name) {
  for (const OutputStyleSpec& s : kOutputStyles)
    if (s.namedByTo && endsWithExtension(name, s.extension)) return &s;
  return nullptr;
}

void listOutputStyles(Sink& out, const char* between) {
  const char* sep = "";
  for (const OutputStyleSpec& s : kOutputStyles) {
    out.printf("%s%s", sep, s.name);
    sep = between;
  }
}

}  // namespace bex
