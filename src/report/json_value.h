// A small JSON reader for the recovery report's own lines: objects,
// arrays, strings, numbers, true, false and null. A line that is not JSON
// gives null; nesting is bounded so a damaged file cannot exhaust the
// stack.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace bex {

struct JsonValue {
  enum class Kind { kNull, kBool, kNumber, kString, kArray, kObject } kind = Kind::kNull;
  bool flag = false;
  double number = 0;
  std::string text;
  std::vector<JsonValue> items;
  std::map<std::string, JsonValue, std::less<>> members;

  // Member `name` of an object (null when absent or not an object).
  const JsonValue& operator[](std::string_view name) const;
  std::string_view str() const { return kind == Kind::kString ? std::string_view(text) : std::string_view(); }
  uint64_t count() const { return kind == Kind::kNumber && number > 0 ? static_cast<uint64_t>(number) : 0; }
  bool isObject() const { return kind == Kind::kObject; }
};

// The value of one line; null when the line is not one JSON value.
JsonValue parseJson(std::string_view text);

}  // namespace bex
