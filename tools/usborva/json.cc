#include "json.h"

namespace usborva::cli {

std::string JsonQuote(std::string_view utf8) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out = "\"";
  for (char c : utf8) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (byte < 0x20 || byte == 0x7F) {
          out += "\\u00";
          out += kHex[byte >> 4];
          out += kHex[byte & 0xF];
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

JsonObject& JsonObject::AddString(std::string_view key, std::string_view utf8) {
  members_.emplace_back(std::string(key), JsonQuote(utf8));
  return *this;
}

JsonObject& JsonObject::AddString(std::string_view key, const String& text) {
  return AddString(key, StringToUtf8(text));
}

JsonObject& JsonObject::AddInt(std::string_view key, int64_t value) {
  members_.emplace_back(std::string(key), std::to_string(value));
  return *this;
}

JsonObject& JsonObject::AddBool(std::string_view key, bool value) {
  members_.emplace_back(std::string(key), value ? "true" : "false");
  return *this;
}

JsonObject& JsonObject::AddNull(std::string_view key) {
  members_.emplace_back(std::string(key), "null");
  return *this;
}

JsonObject& JsonObject::AddObject(std::string_view key, const JsonObject& value) {
  members_.emplace_back(std::string(key), value.str());
  return *this;
}

std::string JsonObject::str() const {
  std::string out = "{";
  for (size_t i = 0; i < members_.size(); ++i) {
    if (i > 0) out += ',';
    out += JsonQuote(members_[i].first);
    out += ':';
    out += members_[i].second;
  }
  return out + "}";
}

}  // namespace usborva::cli
