#include "base/connection_string.h"

#include <cctype>
#include <string>

namespace bex {

namespace {

constexpr std::string_view kUriPrefixes[] = {"postgresql://", "postgres://"};
constexpr std::string_view kConnectionKeys[] = {"host", "hostaddr", "port", "dbname", "user", "password",
                                                "passfile", "service", "sslmode", "connect_timeout",
                                                "application_name", "options", "target_session_attrs"};
constexpr std::string_view kPasswordKey = "password=";
constexpr std::string_view kMask = "***";

bool startsWithNoCase(std::string_view s, std::string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); i++) {
    const char c = s[i] >= 'A' && s[i] <= 'Z' ? static_cast<char>(s[i] - 'A' + 'a') : s[i];
    if (c != prefix[i]) return false;
  }
  return true;
}

// The end of a URI starting at `at`: the next blank or quote.
size_t uriEnd(std::string_view s, size_t at) {
  while (at < s.size() && s[at] != ' ' && s[at] != '\t' && s[at] != '\'' && s[at] != '\n' && s[at] != '\r') at++;
  return at;
}

// The URI with "user:secret@" of its authority masked, onto out.
void maskUserInfo(std::string& out, std::string_view uri) {
  const size_t scheme = uri.find("://") + 3;
  const size_t slash = uri.find('/', scheme);
  const size_t at = uri.rfind('@', slash == std::string_view::npos ? uri.size() : slash);
  const size_t colon = at == std::string_view::npos || at < scheme ? std::string_view::npos : uri.find(':', scheme);
  if (colon == std::string_view::npos || colon > at) {
    out += uri;
    return;
  }
  out += uri.substr(0, colon + 1);
  out += kMask;
  out += uri.substr(at);
}

// A value of a key=value word: quoted ('...' with \' inside) or up to the
// next blank; its end.
size_t valueEnd(std::string_view s, size_t at) {
  if (at < s.size() && s[at] == '\'') {
    for (at++; at < s.size() && s[at] != '\''; at++)
      if (s[at] == '\\') at++;
    return at < s.size() ? at + 1 : at;
  }
  while (at < s.size() && s[at] != ' ' && s[at] != '\t' && s[at] != '&' && s[at] != '\'' && s[at] != '\n') at++;
  return at;
}

}  // namespace

bool isPgTarget(std::string_view name) {
  for (std::string_view p : kUriPrefixes)
    if (startsWithNoCase(name, p)) return true;
  for (std::string_view key : kConnectionKeys)
    if (startsWithNoCase(name, key) && name.size() > key.size() && name[key.size()] == '=') return true;
  return false;
}

std::string maskPgPasswords(std::string_view s) {
  std::string uris;
  size_t i = 0;
  while (i < s.size()) {
    bool uri = false;
    for (std::string_view p : kUriPrefixes) uri = uri || startsWithNoCase(s.substr(i), p);
    if (!uri) {
      uris += s[i++];
      continue;
    }
    const size_t end = uriEnd(s, i);
    maskUserInfo(uris, s.substr(i, end - i));
    i = end;
  }
  // "password=" words, also those of a URI's query.
  std::string out;
  for (i = 0; i < uris.size();) {
    const bool word = i == 0 || !isalnum(static_cast<unsigned char>(uris[i - 1]));
    if (word && startsWithNoCase(std::string_view(uris).substr(i), kPasswordKey)) {
      out.append(uris, i, kPasswordKey.size());
      out += kMask;
      i = valueEnd(uris, i + kPasswordKey.size());
      continue;
    }
    out += uris[i++];
  }
  return out;
}

}  // namespace bex
