// SPDX-License-Identifier: Apache-2.0
#include "json.h"

#include "usborva/hex_digits.h"
#include "usborva/utf8.h"

namespace usborva::cli {

namespace {

void AppendAscii(std::string& out, char c) {
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
        out += LowerHexDigit(byte >> 4);
        out += LowerHexDigit(byte);
      } else {
        out += c;
      }
  }
}

}  // namespace

std::string JsonQuote(std::string_view utf8) {
  std::string out = "\"";
  for (size_t at = 0; at < utf8.size();) {
    const Utf8Step step = DecodeUtf8(utf8, at);
    if (step.length == 1 && step.valid) {
      AppendAscii(out, utf8[at]);
    } else if (step.valid) {
      out.append(utf8.substr(at, step.length));
    } else {
      // A byte that is not UTF-8 would make the line invalid JSON: it reads "\xHH", as in
      // the text output.
      for (size_t i = 0; i < step.length; ++i) {
        const auto byte = static_cast<unsigned char>(utf8[at + i]);
        out += "\\\\x";
        AppendHexByte(out, byte);
      }
    }
    at += step.length;
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

std::string JsonLine(const JsonObject& object) {
  const std::string members = object.str();
  const std::string schema = "{\"schema\":" + std::to_string(kJsonSchema);
  return members == "{}" ? schema + "}" : schema + "," + members.substr(1);
}

}  // namespace usborva::cli
