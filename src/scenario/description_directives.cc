// SPDX-License-Identifier: Apache-2.0
// The terminal description: the lines before the timed input say what the simulated
// terminal is and how it answers the identity questions asked when the port opens. The
// directives of its answers (kModel) also go in a rule's body, where they change them.
#include <algorithm>
#include <optional>
#include <string>

#include "scenario/edit_distance.h"
#include "scenario/parse_context.h"
#include "scenario/values.h"
#include "usborva/protocol.h"
#include "usborva/simulated_hid_system.h"
#include "usborva/text_guard.h"

namespace usborva::scenario {
namespace {

sim::InterfaceSpec& Spec(ParseContext& context) { return context.scenario.terminal; }

uint16_t ReadId(const Line& line, const ParseContext& context, std::string_view what) {
  context.ExpectArgs(line, 1, 1);
  return static_cast<uint16_t>(ReadInteger(line.args()[0], 0, 0xFFFF, what));
}

void Vendor(ParseContext& context, const Line& line) {
  Spec(context).vendor_id = ReadId(line, context, "vendor ID");
}
void Product(ParseContext& context, const Line& line) {
  Spec(context).product_id = ReadId(line, context, "product ID");
}
void Version(ParseContext& context, const Line& line) {
  Spec(context).version_number = ReadId(line, context, "version number");
}
void UsagePage(ParseContext& context, const Line& line) {
  Spec(context).usage_page = ReadId(line, context, "usage page");
}
void Usage(ParseContext& context, const Line& line) {
  Spec(context).usage = ReadId(line, context, "usage");
}

void InputLength(ParseContext& context, const Line& line) {
  context.ExpectArgs(line, 1, 1);
  Spec(context).input_report_length =
      static_cast<int16_t>(ReadInteger(line.args()[0], 1, 32767, "input report length"));
}
void FeatureLength(ParseContext& context, const Line& line) {
  context.ExpectArgs(line, 1, 1);
  Spec(context).feature_report_length =
      static_cast<int16_t>(ReadInteger(line.args()[0], 0, 32767, "feature report length"));
}

void Path(ParseContext& context, const Line& line) {
  context.ExpectArgs(line, 1, 1);
  CheckTextLength(line.args()[0], "path");
  Spec(context).path = line.args()[0].text;
}

// A string descriptor, or `none` for a terminal that does not answer that call.
std::optional<String> ReadDescriptor(const Token& token) {
  if (!token.quoted && token.text == "none") return std::nullopt;
  return ReadText(token, "string");
}

void Serial(ParseContext& context, const Line& line) {
  context.ExpectArgs(line, 1, 1);
  Spec(context).serial_number = ReadDescriptor(line.args()[0]);
}
void ProductString(ParseContext& context, const Line& line) {
  context.ExpectArgs(line, 1, 1);
  Spec(context).product_string = ReadDescriptor(line.args()[0]);
}
void SetIndexedString(ParseContext& context, uint32_t index, const Token& token) {
  std::optional<String> text = ReadDescriptor(token);
  if (text) {
    Spec(context).indexed_strings[index] = *text;
  } else {
    Spec(context).indexed_strings.erase(index);
  }
}
void Firmware(ParseContext& context, const Line& line) {
  context.ExpectArgs(line, 1, 1);
  SetIndexedString(context, 4, line.args()[0]);
}
void IndexedString(ParseContext& context, const Line& line) {
  context.ExpectArgs(line, 2, 2);
  const auto index = static_cast<uint32_t>(ReadInteger(line.args()[0], 0, 255, "string index"));
  SetIndexedString(context, index, line.args()[1]);
}

// The identity items: KSNs and labels are text, one byte per character; the PIN and MSR
// labels carry the terminating zero byte the terminal counts in their length.
void SetItem(ParseContext& context, uint8_t item, std::vector<uint8_t> data, const Token& at) {
  if (data.size() > protocol::kInfoMaxData) {
    throw LineError(
        at, "an identity item holds at most " + std::to_string(protocol::kInfoMaxData) + " bytes");
  }
  context.ChangeModel({ModelChange::Part::kItem, item, std::move(data)}, at);
}
void TextItem(ParseContext& context, const Line& line, uint8_t item, bool terminated,
              std::string_view what) {
  context.ExpectArgs(line, 1, 1);
  std::vector<uint8_t> data = ReadCardText(line.args()[0], what);
  if (terminated) data.push_back(0);
  SetItem(context, item, std::move(data), line.args()[0]);
}
void PinKsn(ParseContext& context, const Line& line) {
  TextItem(context, line, protocol::kInfoPINKSN, false, "PIN KSN");
}
void MsrKsn(ParseContext& context, const Line& line) {
  TextItem(context, line, protocol::kInfoMSRKSN, false, "MSR KSN");
}
void AuthLabel(ParseContext& context, const Line& line) {
  TextItem(context, line, protocol::kInfoAuthLabel, false, "label");
}
void PinLabel(ParseContext& context, const Line& line) {
  TextItem(context, line, protocol::kInfoPINLabel, true, "label");
}
void MsrLabel(ParseContext& context, const Line& line) {
  TextItem(context, line, protocol::kInfoMSRLabel, true, "label");
}
void BitmapCrc(ParseContext& context, const Line& line) {
  context.ExpectArgs(line, 1, protocol::kInfoMaxData);
  SetItem(context, protocol::kInfoBitmapCRC, ReadHexTokens(line.args(), "bitmap CRC"),
          line.args()[0]);
}
void InfoItem(ParseContext& context, const Line& line) {
  context.ExpectArgs(line, 2, 1 + protocol::kInfoMaxData);  // the item, then its data
  const auto item = static_cast<uint8_t>(ReadByte(line.args()[0], "item number"));
  const Token& first = line.args()[1];
  if (!first.quoted && first.text == "none") {
    context.ExpectArgs(line, 2, 2);
    context.ChangeModel({ModelChange::Part::kItem, item, std::nullopt}, first);
    return;
  }
  SetItem(context, item, ReadHexTokens(line.args().subspan(1), "item data"), first);
}

void Config(ParseContext& context, const Line& line) {
  context.ExpectArgs(line, 1, protocol::kConfigLength);
  std::vector<uint8_t> bytes = ReadHexTokens(line.args(), "configuration");
  if (bytes.size() != protocol::kConfigLength) {
    throw LineError(line.args()[0], "the configuration is " +
                                        std::to_string(protocol::kConfigLength) + " bytes, got " +
                                        std::to_string(bytes.size()));
  }
  context.ChangeModel({ModelChange::Part::kConfig, 0, std::move(bytes)}, line.args()[0]);
}

void FeatureReport(ParseContext& context, const Line& line) {
  context.ExpectArgs(line, 2, 4096);
  const uint8_t id = ReadByte(line.args()[0], "report ID");
  std::vector<uint8_t> bytes = ReadHexTokens(line.args().subspan(1), "report");
  bytes.insert(bytes.begin(), id);
  context.ChangeModel({ModelChange::Part::kFeatureReport, id, std::move(bytes)}, line.args()[0]);
}

void ConfigFile(ParseContext& context, const Line& line) {
  context.ExpectArgs(line, 1, 1);
  context.scenario.config_text = line.args()[0].text;
}

void Unplugged(ParseContext& context, const Line& line) {
  context.ExpectArgs(line, 0, 0);
  context.scenario.starts_plugged = false;
  context.plugged = false;
}

constexpr sim::QueuePolicy kQueuePolicies[] = {sim::QueuePolicy::kWindows,
                                               sim::QueuePolicy::kLinux};

// The error for a word that names no queue policy, with the policy it is closest to.
std::string UnknownQueue(std::string_view word) {
  std::string message = "unknown queue '" + QuoteForMessage(word) + "'";
  std::string_view best;
  size_t best_distance = 3;
  for (sim::QueuePolicy policy : kQueuePolicies) {
    const std::string_view name = sim::QueuePolicyName(policy);
    // The lengths alone put a long word out of reach: no need to compare it.
    if (std::max(word.size(), name.size()) - std::min(word.size(), name.size()) >= best_distance) {
      continue;
    }
    const size_t distance = EditDistance(word, name);
    if (distance < best_distance) {
      best = name;
      best_distance = distance;
    }
  }
  if (!best.empty()) message += "; did you mean '" + std::string(best) + "'?";
  return message + " (queues: windows, linux)";
}

// Which platform's driver queues the terminal's input reports, and so which reports a burst
// loses; without the line, the platform the library was built for.
void Queue(ParseContext& context, const Line& line) {
  context.ExpectArgs(line, 1, 1);
  const Token& word = line.args()[0];
  const std::optional<sim::QueuePolicy> policy = sim::QueuePolicyFromName(word.text);
  if (!policy) throw LineError(word, UnknownQueue(word.text));
  if (word.quoted) {
    throw LineError(
        word, "the queue is a bare word: write " + std::string(word.text) + " without quotes");
  }
  Spec(context).queue_policy = *policy;
}

constexpr DirectiveSpec kDirectives[] = {
    {"vendor", "ID", DirectiveKind::kDescription, Vendor},
    {"product", "ID", DirectiveKind::kDescription, Product},
    {"version", "NUMBER", DirectiveKind::kDescription, Version},
    {"usage-page", "NUMBER", DirectiveKind::kDescription, UsagePage},
    {"usage", "NUMBER", DirectiveKind::kDescription, Usage},
    {"input-length", "BYTES", DirectiveKind::kDescription, InputLength},
    {"feature-length", "BYTES", DirectiveKind::kDescription, FeatureLength},
    {"path", "TEXT", DirectiveKind::kDescription, Path},
    {"serial", "TEXT|none", DirectiveKind::kDescription, Serial},
    {"product-string", "TEXT|none", DirectiveKind::kDescription, ProductString},
    {"firmware", "TEXT|none", DirectiveKind::kDescription, Firmware},
    {"string", "INDEX TEXT|none", DirectiveKind::kDescription, IndexedString},
    {"bitmap-crc", "HEX...", DirectiveKind::kModel, BitmapCrc},
    {"pin-ksn", "TEXT", DirectiveKind::kModel, PinKsn},
    {"msr-ksn", "TEXT", DirectiveKind::kModel, MsrKsn},
    {"auth-label", "TEXT", DirectiveKind::kModel, AuthLabel},
    {"pin-label", "TEXT", DirectiveKind::kModel, PinLabel},
    {"msr-label", "TEXT", DirectiveKind::kModel, MsrLabel},
    {"info-item", "ITEM HEX...|none", DirectiveKind::kModel, InfoItem},
    {"config", "HEX... (8 bytes)", DirectiveKind::kModel, Config},
    {"feature-report", "ID HEX...", DirectiveKind::kModel, FeatureReport},
    {"config-file", "TEXT", DirectiveKind::kDescription, ConfigFile},
    {"unplugged", "", DirectiveKind::kDescription, Unplugged},
    {"queue", "windows|linux", DirectiveKind::kDescription, Queue},
};

}  // namespace

std::span<const DirectiveSpec> DescriptionDirectives() { return kDirectives; }

}  // namespace usborva::scenario
