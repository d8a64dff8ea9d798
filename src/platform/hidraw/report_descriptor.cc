// SPDX-License-Identifier: Apache-2.0
#include "platform/hidraw/report_descriptor.h"

#include <array>
#include <vector>

namespace usborva::hidraw {
namespace {

// Item types and tags of the HID report descriptor's short items.
constexpr uint8_t kTypeMain = 0;
constexpr uint8_t kTypeGlobal = 1;
constexpr uint8_t kTypeLocal = 2;

constexpr uint8_t kMainInput = 0x8;
constexpr uint8_t kMainOutput = 0x9;
constexpr uint8_t kMainCollection = 0xA;
constexpr uint8_t kMainFeature = 0xB;
constexpr uint8_t kMainEndCollection = 0xC;

constexpr uint8_t kGlobalUsagePage = 0x0;
constexpr uint8_t kGlobalReportSize = 0x7;
constexpr uint8_t kGlobalReportId = 0x8;
constexpr uint8_t kGlobalReportCount = 0x9;
constexpr uint8_t kGlobalPush = 0xA;
constexpr uint8_t kGlobalPop = 0xB;

constexpr uint8_t kLocalUsage = 0x0;

constexpr uint8_t kLongItemPrefix = 0xFE;
// Deeper than any real descriptor nests (the kernel allows 4).
constexpr size_t kMaxGlobalStack = 16;
constexpr uint64_t kMaxReportBits = uint64_t{kMaxReportBytes - 1} * 8;

struct GlobalState {
  uint32_t usage_page = 0;
  uint32_t report_size = 0;
  uint32_t report_count = 0;
  uint32_t report_id = 0;
};

struct Item {
  uint8_t type = 0;
  uint8_t tag = 0;
  uint32_t data = 0;
  uint8_t size = 0;
};

class Parser {
 public:
  DescriptorStatus Run(std::span<const uint8_t> bytes, DescriptorCaps* caps);

 private:
  // Reads the item at pos_; false when its data runs past the end. Long items are skipped.
  bool NextItem(std::span<const uint8_t> bytes, Item* item, bool* is_long);
  DescriptorStatus OnMain(const Item& item);
  DescriptorStatus OnGlobal(const Item& item);
  void OnLocal(const Item& item);
  DescriptorStatus AddBits(ReportKind kind);
  void Finish(DescriptorCaps* caps) const;

  size_t pos_ = 0;
  GlobalState global_;
  std::vector<GlobalState> stack_;
  bool numbered_ = false;
  uint32_t depth_ = 0;
  bool have_top_usage_ = false;
  bool have_local_usage_ = false;
  uint32_t local_usage_ = 0;
  uint8_t local_usage_size_ = 0;
  uint16_t top_usage_page_ = 0;
  uint16_t top_usage_ = 0;
  std::array<std::array<uint64_t, 256>, kReportKindCount> bits_{};
};

bool Parser::NextItem(std::span<const uint8_t> bytes, Item* item, bool* is_long) {
  const uint8_t prefix = bytes[pos_];
  if (prefix == kLongItemPrefix) {
    // 0xFE, data size, long tag, data: no long item tags are defined, so skip it.
    if (bytes.size() - pos_ < 3) return false;
    const size_t data_size = bytes[pos_ + 1];
    if (bytes.size() - pos_ - 3 < data_size) return false;
    pos_ += 3 + data_size;
    *is_long = true;
    return true;
  }
  *is_long = false;
  const uint8_t code = prefix & 3;
  item->size = code == 3 ? 4 : code;
  item->type = (prefix >> 2) & 3;
  item->tag = prefix >> 4;
  if (bytes.size() - pos_ - 1 < item->size) return false;
  item->data = 0;
  for (uint8_t i = 0; i < item->size; ++i) {
    item->data |= uint32_t{bytes[pos_ + 1 + i]} << (8 * i);
  }
  pos_ += 1 + item->size;
  return true;
}

DescriptorStatus Parser::AddBits(ReportKind kind) {
  const uint64_t item_bits = uint64_t{global_.report_size} * global_.report_count;
  uint64_t& total = bits_[static_cast<size_t>(kind)][global_.report_id];
  if (item_bits > kMaxReportBits || total + item_bits > kMaxReportBits) {
    return DescriptorStatus::kReportTooLong;
  }
  total += item_bits;
  return DescriptorStatus::kOk;
}

DescriptorStatus Parser::OnMain(const Item& item) {
  DescriptorStatus status = DescriptorStatus::kOk;
  switch (item.tag) {
    case kMainInput:
      status = AddBits(ReportKind::kInput);
      break;
    case kMainOutput:
      status = AddBits(ReportKind::kOutput);
      break;
    case kMainFeature:
      status = AddBits(ReportKind::kFeature);
      break;
    case kMainCollection:
      if (depth_ == 0 && !have_top_usage_) {
        have_top_usage_ = true;
        // A four-byte usage carries its own page in the high half.
        top_usage_page_ =
            static_cast<uint16_t>(local_usage_size_ == 4 ? local_usage_ >> 16 : global_.usage_page);
        top_usage_ = have_local_usage_ ? static_cast<uint16_t>(local_usage_) : 0;
      }
      ++depth_;
      break;
    case kMainEndCollection:
      if (depth_ == 0) return DescriptorStatus::kUnbalancedCollection;
      --depth_;
      break;
    default:
      break;  // reserved main tags carry no report bits
  }
  // Every main item ends the local state.
  have_local_usage_ = false;
  local_usage_ = 0;
  local_usage_size_ = 0;
  return status;
}

DescriptorStatus Parser::OnGlobal(const Item& item) {
  switch (item.tag) {
    case kGlobalUsagePage:
      global_.usage_page = item.data;
      break;
    case kGlobalReportSize:
      global_.report_size = item.data;
      break;
    case kGlobalReportCount:
      global_.report_count = item.data;
      break;
    case kGlobalReportId:
      if (item.data == 0 || item.data > 255) return DescriptorStatus::kInvalidReportId;
      global_.report_id = item.data;
      numbered_ = true;
      break;
    case kGlobalPush:
      if (stack_.size() >= kMaxGlobalStack) return DescriptorStatus::kGlobalStackOverflow;
      stack_.push_back(global_);
      break;
    case kGlobalPop:
      if (stack_.empty()) return DescriptorStatus::kPopWithoutPush;
      global_ = stack_.back();
      stack_.pop_back();
      break;
    default:
      break;  // logical and physical ranges, units: no bearing on report lengths
  }
  return DescriptorStatus::kOk;
}

void Parser::OnLocal(const Item& item) {
  // The collection's usage is the first Usage since the last main item.
  if (item.tag == kLocalUsage && !have_local_usage_) {
    have_local_usage_ = true;
    local_usage_ = item.data;
    local_usage_size_ = item.size;
  }
}

void Parser::Finish(DescriptorCaps* caps) const {
  *caps = DescriptorCaps{};
  caps->UsagePage = top_usage_page_;
  caps->Usage = top_usage_;
  caps->numbered = numbered_;
  uint16_t* lengths[kReportKindCount] = {
      &caps->InputReportByteLength, &caps->OutputReportByteLength, &caps->FeatureReportByteLength};
  for (size_t kind = 0; kind < kReportKindCount; ++kind) {
    uint64_t largest = 0;
    for (size_t id = 0; id < 256; ++id) {
      if (bits_[kind][id] == 0) continue;
      caps->report_ids[kind].set(id);
      if (bits_[kind][id] > largest) largest = bits_[kind][id];
    }
    // Whole bytes of the largest report, plus the report ID byte.
    *lengths[kind] = largest == 0 ? 0 : static_cast<uint16_t>((largest + 7) / 8 + 1);
  }
}

DescriptorStatus Parser::Run(std::span<const uint8_t> bytes, DescriptorCaps* caps) {
  if (bytes.empty()) return DescriptorStatus::kEmpty;
  while (pos_ < bytes.size()) {
    Item item;
    bool is_long = false;
    if (!NextItem(bytes, &item, &is_long)) return DescriptorStatus::kTruncatedItem;
    if (is_long) continue;
    DescriptorStatus status = DescriptorStatus::kOk;
    if (item.type == kTypeMain) {
      status = OnMain(item);
    } else if (item.type == kTypeGlobal) {
      status = OnGlobal(item);
    } else if (item.type == kTypeLocal) {
      OnLocal(item);
    }
    if (status != DescriptorStatus::kOk) return status;
  }
  if (depth_ != 0) return DescriptorStatus::kUnbalancedCollection;
  Finish(caps);
  return DescriptorStatus::kOk;
}

}  // namespace

DescriptorStatus ParseReportDescriptor(std::span<const uint8_t> descriptor, DescriptorCaps* caps) {
  if (caps == nullptr) return DescriptorStatus::kEmpty;
  Parser parser;
  return parser.Run(descriptor, caps);
}

const char* DescriptorStatusName(DescriptorStatus status) {
  switch (status) {
    case DescriptorStatus::kOk:
      return "ok";
    case DescriptorStatus::kEmpty:
      return "empty descriptor";
    case DescriptorStatus::kTruncatedItem:
      return "truncated item";
    case DescriptorStatus::kInvalidReportId:
      return "invalid report ID";
    case DescriptorStatus::kGlobalStackOverflow:
      return "push nested too deep";
    case DescriptorStatus::kPopWithoutPush:
      return "pop without push";
    case DescriptorStatus::kUnbalancedCollection:
      return "unbalanced collection";
    case DescriptorStatus::kReportTooLong:
      return "report too long";
  }
  return "unknown";
}

}  // namespace usborva::hidraw
