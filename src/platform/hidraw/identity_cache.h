// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_PLATFORM_HIDRAW_IDENTITY_CACHE_H_
#define USBORVA_PLATFORM_HIDRAW_IDENTITY_CACHE_H_

#include <sys/types.h>

#include <array>
#include <cstdint>
#include <ctime>
#include <map>
#include <optional>
#include <string>

#include "usborva/hid_system.h"

namespace usborva::hidraw {

// What identifies the device behind a node path without opening it: the node's inode and
// everything that decides who may open it (a chmod, chown or ACL change moves ctime), and
// its hidraw class entry in sysfs, which is made anew for every device the kernel adds:
// its inode as the enumeration listed it, else the link's target (which names the HID
// device with the sequence number the kernel gives each one).
struct NodeIdentityKey {
  dev_t dev = 0;
  ino_t ino = 0;
  dev_t rdev = 0;
  mode_t mode = 0;
  uid_t uid = 0;
  gid_t gid = 0;
  timespec ctime{};
  uint64_t sysfs_ino = 0;
  std::string sysfs_link;

  bool operator==(const NodeIdentityKey& other) const;
};

// The key of the node at path: one stat, and one readlink unless listed_sysfs_ino (the
// class entry's inode from the enumeration) is given. nullopt when path is not a hidrawN
// node with a sysfs entry under sysfs_root.
std::optional<NodeIdentityKey> NodeIdentityKeyOf(const std::string& path,
                                                 const std::string& sysfs_root,
                                                 uint64_t listed_sysfs_ino);

// How opening a node with each access ended: 0 for opened, else the Windows error.
using OpenOutcomes = std::array<std::optional<uint32_t>, 4>;

// Identities of nodes already read and found not to be a terminal, so that a reconnect
// attempt that finds them unchanged need not open and ask them again. A terminal's node is
// never kept: its every candidacy is judged afresh.
class IdentityCache {
 public:
  struct Entry {
    NodeIdentityKey key;
    HidAttributes attributes;
    OpenOutcomes outcomes;
  };

  // The entry of path when its key is still key; a stale entry is dropped.
  const Entry* Find(const std::string& path, const NodeIdentityKey& key);
  // Records what the open with access_index (0..3) of an unchanged node gave.
  void NoteOpen(const std::string& path, const NodeIdentityKey& key, size_t access_index,
                uint32_t outcome);
  // Keeps attributes read from the node at path under key, with the open that read them;
  // forgets the node instead when attributes name vendor (the terminal's).
  void Remember(const std::string& path, const NodeIdentityKey& key,
                const HidAttributes& attributes, size_t access_index, uint16_t vendor);
  size_t size() const { return entries_.size(); }

 private:
  std::map<std::string, Entry> entries_;
  // Opens refused before the node's identity was known, by path.
  std::map<std::string, Entry> unread_;
};

}  // namespace usborva::hidraw

#endif  // USBORVA_PLATFORM_HIDRAW_IDENTITY_CACHE_H_
