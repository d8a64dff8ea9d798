// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_TOOLS_JSON_H_
#define USBORVA_TOOLS_JSON_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "usborva/variant.h"

namespace usborva::cli {

// A JSON object written in the order its members are added, so every line the tool prints
// has its keys in one documented order.
class JsonObject {
 public:
  JsonObject& AddString(std::string_view key, std::string_view utf8);
  JsonObject& AddString(std::string_view key, const String& text);
  JsonObject& AddInt(std::string_view key, int64_t value);
  JsonObject& AddBool(std::string_view key, bool value);
  JsonObject& AddNull(std::string_view key);
  JsonObject& AddObject(std::string_view key, const JsonObject& value);

  // One line, no spaces: {"a":1,"b":"x"}.
  std::string str() const;

 private:
  std::vector<std::pair<std::string, std::string>> members_;  // key, encoded value
};

// The version of the JSON lines' layout, the first member of every line the tool prints
// ("schema"): raised when a member changes meaning or goes away, not when one is added.
inline constexpr int kJsonSchema = 1;

// One line of --json output: the object with "schema" first, without the line feed.
std::string JsonLine(const JsonObject& object);

// A JSON string literal of UTF-8 text (quotes, backslashes and control characters escaped).
std::string JsonQuote(std::string_view utf8);

}  // namespace usborva::cli

#endif  // USBORVA_TOOLS_JSON_H_
