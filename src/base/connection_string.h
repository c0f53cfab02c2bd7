// How a PostgreSQL server is named as UNLOAD's target (a libpq URI
// "postgresql://..." or a connection string of key=value words), and the
// form of any text naming one that may be shown: the password masked.
#pragma once
#include <string>
#include <string_view>

namespace bex {

// The TO word that stands for the PG_TARGET setting.
inline constexpr std::string_view kPgTargetWord = "PG_TARGET";

// A libpq URI, or a connection string whose first word is key=value with
// one of libpq's keys.
bool isPgTarget(std::string_view name);

// The text with the password of every connection string in it masked:
// "user:secret@" of a URI and "password=secret" (also as a URI query
// parameter) become "user:***@" and "password=***". Other text is kept.
std::string maskPgPasswords(std::string_view text);

}  // namespace bex
