#include "report/json_value.h"

#include <cstdlib>

namespace bex {

namespace {

constexpr int kDepthMax = 32;

class Parser {
 public:
  explicit Parser(std::string_view s) : s_(s) {}

  bool value(JsonValue& v, int depth) {
    skipBlanks();
    if (depth > kDepthMax || at_ >= s_.size()) return false;
    switch (s_[at_]) {
      case '{': return object(v, depth);
      case '[': return array(v, depth);
      case '"': v.kind = JsonValue::Kind::kString; return string(v.text);
      case 't': v.kind = JsonValue::Kind::kBool; v.flag = true; return word("true");
      case 'f': v.kind = JsonValue::Kind::kBool; return word("false");
      case 'n': return word("null");
      default: return number(v);
    }
  }
  bool atEnd() {
    skipBlanks();
    return at_ == s_.size();
  }

 private:
  void skipBlanks() {
    while (at_ < s_.size() && (s_[at_] == ' ' || s_[at_] == '\t' || s_[at_] == '\n' || s_[at_] == '\r')) at_++;
  }
  bool take(char c) {
    skipBlanks();
    if (at_ < s_.size() && s_[at_] == c) {
      at_++;
      return true;
    }
    return false;
  }
  bool word(std::string_view w) {
    if (s_.substr(at_, w.size()) != w) return false;
    at_ += w.size();
    return true;
  }
  bool number(JsonValue& v) {
    const std::string digits(s_.substr(at_, 40));
    char* end = nullptr;
    v.number = strtod(digits.c_str(), &end);
    if (end == digits.c_str()) return false;
    v.kind = JsonValue::Kind::kNumber;
    at_ += static_cast<size_t>(end - digits.c_str());
    return true;
  }
  static void putUtf8(std::string& out, uint32_t c) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  bool string(std::string& out) {
    at_++;  // the opening quote
    while (at_ < s_.size()) {
      const char c = s_[at_++];
      if (c == '"') return true;
      if (c != '\\') {
        out += c;
        continue;
      }
      if (at_ >= s_.size()) return false;
      const char e = s_[at_++];
      switch (e) {
        case 'n': out += '\n'; break;
        case 't': out += '\t'; break;
        case 'r': out += '\r'; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'u': {
          if (at_ + 4 > s_.size()) return false;
          const std::string hex(s_.substr(at_, 4));
          char* end = nullptr;
          const unsigned long code = strtoul(hex.c_str(), &end, 16);
          if (end != hex.c_str() + 4) return false;
          putUtf8(out, static_cast<uint32_t>(code));
          at_ += 4;
          break;
        }
        default: out += e;
      }
    }
    return false;
  }
  bool array(JsonValue& v, int depth) {
    v.kind = JsonValue::Kind::kArray;
    at_++;
    if (take(']')) return true;
    do {
      v.items.emplace_back();
      if (!value(v.items.back(), depth + 1)) return false;
    } while (take(','));
    return take(']');
  }
  bool object(JsonValue& v, int depth) {
    v.kind = JsonValue::Kind::kObject;
    at_++;
    if (take('}')) return true;
    do {
      skipBlanks();
      std::string name;
      if (at_ >= s_.size() || s_[at_] != '"' || !string(name) || !take(':')) return false;
      if (!value(v.members[name], depth + 1)) return false;
    } while (take(','));
    return take('}');
  }

  std::string_view s_;
  size_t at_ = 0;
};

}  // namespace

const JsonValue& JsonValue::operator[](std::string_view name) const {
  static const JsonValue kNull;
  if (kind != Kind::kObject) return kNull;
  auto it = members.find(name);
  return it == members.end() ? kNull : it->second;
}

JsonValue parseJson(std::string_view text) {
  Parser p(text);
  JsonValue v;
  if (!p.value(v, 0) || !p.atEnd()) return JsonValue{};
  return v;
}

}  // namespace bex
