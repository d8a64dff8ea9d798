// SPDX-License-Identifier: Apache-2.0
#include "platform/hidraw/identity_cache.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <string_view>

namespace usborva::hidraw {
namespace {

// More hidraw nodes than a kernel can number (its minors end at 64): a cache this full is
// kept from growing by starting again.
constexpr size_t kMaxEntries = 256;

bool IsHidrawName(std::string_view name) {
  constexpr std::string_view kPrefix = "hidraw";
  if (name.size() <= kPrefix.size() || name.substr(0, kPrefix.size()) != kPrefix) return false;
  for (char c : name.substr(kPrefix.size())) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

}  // namespace

bool NodeIdentityKey::operator==(const NodeIdentityKey& other) const {
  return dev == other.dev && ino == other.ino && rdev == other.rdev && mode == other.mode &&
         uid == other.uid && gid == other.gid && ctime.tv_sec == other.ctime.tv_sec &&
         ctime.tv_nsec == other.ctime.tv_nsec && sysfs_ino == other.sysfs_ino &&
         sysfs_link == other.sysfs_link;
}

std::optional<NodeIdentityKey> NodeIdentityKeyOf(const std::string& path,
                                                 const std::string& sysfs_root,
                                                 uint64_t listed_sysfs_ino) {
  const size_t slash = path.find_last_of('/');
  const std::string_view name =
      std::string_view(path).substr(slash == std::string::npos ? 0 : slash + 1);
  if (!IsHidrawName(name)) return std::nullopt;
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return std::nullopt;
  NodeIdentityKey key;
  key.sysfs_ino = listed_sysfs_ino;
  if (listed_sysfs_ino == 0) {
    std::string link_path = sysfs_root;
    link_path.append("/class/hidraw/").append(name);
    char target[PATH_MAX];
    const ssize_t length = readlink(link_path.c_str(), target, sizeof target);
    if (length <= 0 || static_cast<size_t>(length) >= sizeof target) return std::nullopt;
    key.sysfs_link.assign(target, static_cast<size_t>(length));
  }
  key.dev = st.st_dev;
  key.ino = st.st_ino;
  key.rdev = st.st_rdev;
  key.mode = st.st_mode;
  key.uid = st.st_uid;
  key.gid = st.st_gid;
  key.ctime = st.st_ctim;
  return key;
}

const IdentityCache::Entry* IdentityCache::Find(const std::string& path,
                                                const NodeIdentityKey& key) {
  auto it = entries_.find(path);
  if (it == entries_.end()) return nullptr;
  if (it->second.key == key) return &it->second;
  entries_.erase(it);
  return nullptr;
}

void IdentityCache::NoteOpen(const std::string& path, const NodeIdentityKey& key,
                             size_t access_index, uint32_t outcome) {
  if (access_index >= OpenOutcomes{}.size()) return;
  auto it = entries_.find(path);
  if (it != entries_.end() && it->second.key == key) {
    it->second.outcomes[access_index] = outcome;
    return;
  }
  // Not known yet: a refused open is usually followed by one with access 0 that reads the
  // identity; keep the refusal for it.
  if (unread_.size() >= kMaxEntries) unread_.clear();
  Entry& unread = unread_[path];
  if (!(unread.key == key)) unread = Entry{key, {}, {}};
  unread.outcomes[access_index] = outcome;
}

void IdentityCache::Remember(const std::string& path, const NodeIdentityKey& key,
                             const HidAttributes& attributes, size_t access_index,
                             uint16_t vendor) {
  if (attributes.VendorID == vendor || access_index >= OpenOutcomes{}.size()) {
    entries_.erase(path);
    unread_.erase(path);
    return;
  }
  auto it = entries_.find(path);
  if (it == entries_.end() || !(it->second.key == key)) {
    if (entries_.size() >= kMaxEntries) entries_.clear();
    it = entries_.insert_or_assign(path, Entry{key, attributes, {}}).first;
    if (auto unread = unread_.find(path); unread != unread_.end()) {
      if (unread->second.key == key) it->second.outcomes = unread->second.outcomes;
      unread_.erase(unread);
    }
  }
  it->second.attributes = attributes;
  it->second.outcomes[access_index] = 0;
}

}  // namespace usborva::hidraw
