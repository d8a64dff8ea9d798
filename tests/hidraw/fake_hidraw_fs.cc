// SPDX-License-Identifier: Apache-2.0
#define FUSE_USE_VERSION 35
#include "fake_hidraw_fs.h"

#include <fcntl.h>
#include <fuse_lowlevel.h>
#include <linux/hidraw.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

namespace usborva::testing {
namespace {

// The kernel keeps this many reports per open file and drops new ones when full.
constexpr size_t kQueueDepth = 64;
constexpr fuse_ino_t kRootIno = FUSE_ROOT_ID;
// How long the kernel may keep names and attributes; changes are invalidated explicitly.
constexpr double kCacheSeconds = 3600;

struct NodeState {
  int number = 0;
  fuse_ino_t ino = 0;
  FakeNode config;
  bool gone = false;
  // What stat shows: a permission change moves ctime, as chmod does.
  mode_t mode = 0666;
  timespec ctime{};
  int opens = 0;
  FeatureModel model;
  std::map<uint8_t, Bytes> answers;
  std::vector<Bytes> sets;
};

struct OpenFile {
  std::shared_ptr<NodeState> node;
  std::deque<Bytes> queue;
  fuse_pollhandle* poll_handle = nullptr;
  std::deque<fuse_req_t> blocked_reads;
};

}  // namespace

struct FakeHidrawFs::State {
  std::mutex mutex;
  std::map<int, std::shared_ptr<NodeState>> present;        // by hidraw number
  std::map<fuse_ino_t, std::shared_ptr<NodeState>> by_ino;  // every node ever added
  std::map<uint64_t, OpenFile> files;
  uint64_t next_fh = 1;
  fuse_ino_t next_ino = kRootIno + 1;
  fuse_session* session = nullptr;
  std::thread loop;
};

namespace {

using State = FakeHidrawFs::State;

State& StateOf(fuse_req_t req) { return *static_cast<State*>(fuse_req_userdata(req)); }

// Wakes a poller waiting on file, once, as the kernel's wait queue does.
void NotifyPoll(OpenFile& file) {
  if (file.poll_handle == nullptr) return;
  fuse_lowlevel_notify_poll(file.poll_handle);
  fuse_pollhandle_destroy(file.poll_handle);
  file.poll_handle = nullptr;
}

// Interrupts the session thread's read of /dev/fuse so it sees the session has ended: a
// file left open on the mount keeps the connection alive past the unmount.
constexpr int kWakeSignal = SIGUSR2;
void IgnoreWake(int) {}

void InstallWakeHandler() {
  struct sigaction action {};
  action.sa_handler = IgnoreWake;  // no SA_RESTART: the read returns EINTR
  sigemptyset(&action.sa_mask);
  sigaction(kWakeSignal, &action, nullptr);
}

struct stat AttrOf(fuse_ino_t ino, const NodeState* node) {
  struct stat st {};
  st.st_ino = ino;
  if (ino == kRootIno || node == nullptr) {
    st.st_mode = S_IFDIR | 0755;
    st.st_nlink = 2;
  } else {
    // A regular file: the code under test must not depend on a character device.
    st.st_mode = S_IFREG | node->mode;
    st.st_nlink = 1;
    st.st_ctim = node->ctime;
  }
  return st;
}

void DoLookup(fuse_req_t req, fuse_ino_t parent, const char* name) {
  State& state = StateOf(req);
  std::lock_guard lock(state.mutex);
  int number = -1;
  if (parent == kRootIno && std::sscanf(name, "hidraw%d", &number) == 1) {
    auto it = state.present.find(number);
    if (it != state.present.end() && name == "hidraw" + std::to_string(number)) {
      fuse_entry_param entry{};
      entry.ino = it->second->ino;
      entry.attr = AttrOf(entry.ino, it->second.get());
      // Kept by the kernel, as devtmpfs keeps a node, until the server says otherwise: every
      // change (unplug, plug, permissions) invalidates the name or the attributes at once.
      entry.attr_timeout = kCacheSeconds;
      entry.entry_timeout = kCacheSeconds;
      fuse_reply_entry(req, &entry);
      return;
    }
  }
  fuse_reply_err(req, ENOENT);
}

void DoGetattr(fuse_req_t req, fuse_ino_t ino, fuse_file_info*) {
  State& state = StateOf(req);
  std::lock_guard lock(state.mutex);
  auto node = state.by_ino.find(ino);
  if (ino != kRootIno && node == state.by_ino.end()) {
    fuse_reply_err(req, ENOENT);
    return;
  }
  struct stat st = AttrOf(ino, ino == kRootIno ? nullptr : node->second.get());
  fuse_reply_attr(req, &st, kCacheSeconds);
}

void DoOpen(fuse_req_t req, fuse_ino_t ino, fuse_file_info* fi) {
  State& state = StateOf(req);
  std::lock_guard lock(state.mutex);
  auto it = state.by_ino.find(ino);
  if (it == state.by_ino.end() || it->second->gone) {
    fuse_reply_err(req, ENOENT);
    return;
  }
  ++it->second->opens;
  if (it->second->config.refuse_open) {
    fuse_reply_err(req, EACCES);
    return;
  }
  const uint64_t fh = state.next_fh++;
  state.files[fh].node = it->second;
  fi->fh = fh;
  fi->direct_io = 1;  // without it the kernel's page cache answers reads
  fi->nonseekable = 1;
  fuse_reply_open(req, fi);
}

void DoRelease(fuse_req_t req, fuse_ino_t, fuse_file_info* fi) {
  State& state = StateOf(req);
  std::lock_guard lock(state.mutex);
  auto it = state.files.find(fi->fh);
  if (it != state.files.end()) {
    if (it->second.poll_handle != nullptr) fuse_pollhandle_destroy(it->second.poll_handle);
    for (fuse_req_t blocked : it->second.blocked_reads) fuse_reply_err(blocked, EIO);
    state.files.erase(it);
  }
  fuse_reply_err(req, 0);
}

void DoRead(fuse_req_t req, fuse_ino_t, size_t size, off_t, fuse_file_info* fi) {
  State& state = StateOf(req);
  std::lock_guard lock(state.mutex);
  auto it = state.files.find(fi->fh);
  if (it == state.files.end()) {
    fuse_reply_err(req, EBADF);
    return;
  }
  OpenFile& file = it->second;
  if (!file.queue.empty()) {
    // One report per read; a short buffer gets the front of it and the rest is lost.
    Bytes report = std::move(file.queue.front());
    file.queue.pop_front();
    fuse_reply_buf(req, reinterpret_cast<const char*>(report.data()),
                   std::min(size, report.size()));
  } else if (file.node->gone && !file.node->config.eagain_after_unplug) {
    fuse_reply_err(req, EIO);
  } else if (fi->flags & O_NONBLOCK) {
    fuse_reply_err(req, EAGAIN);
  } else {
    file.blocked_reads.push_back(req);
  }
}

void DoWrite(fuse_req_t req, fuse_ino_t, const char*, size_t size, off_t, fuse_file_info* fi) {
  State& state = StateOf(req);
  std::lock_guard lock(state.mutex);
  auto it = state.files.find(fi->fh);
  if (it == state.files.end() || it->second.node->gone) {
    fuse_reply_err(req, it == state.files.end() ? EBADF : EIO);
    return;
  }
  fuse_reply_write(req, size);  // output reports: accepted and dropped
}

void DoPoll(fuse_req_t req, fuse_ino_t, fuse_file_info* fi, fuse_pollhandle* ph) {
  State& state = StateOf(req);
  std::lock_guard lock(state.mutex);
  auto it = state.files.find(fi->fh);
  if (it == state.files.end()) {
    if (ph != nullptr) fuse_pollhandle_destroy(ph);
    fuse_reply_err(req, EBADF);
    return;
  }
  OpenFile& file = it->second;
  unsigned revents = POLLOUT | POLLWRNORM;
  if (!file.queue.empty()) revents |= POLLIN | POLLRDNORM;
  if (file.node->gone) revents |= POLLERR | POLLHUP;
  if (ph != nullptr) {
    if (file.poll_handle != nullptr) fuse_pollhandle_destroy(file.poll_handle);
    file.poll_handle = ph;
  }
  fuse_reply_poll(req, revents);
}

void ReplyString(fuse_req_t req, const std::string& text, size_t out_size, const FakeNode& config) {
  // Bytes copied, NUL included; a string cut at the buffer's end has none.
  const size_t length = std::min(text.size() + (config.strings_without_nul ? 0 : 1), out_size);
  const int count = config.string_count.value_or(static_cast<int>(length));
  fuse_reply_ioctl(req, count, text.c_str(), length);
}

void FeatureIoctl(fuse_req_t req, std::unique_lock<std::mutex>& lock, NodeState& node, bool get,
                  const Bytes& request) {
  if (request.size() < 2) {
    fuse_reply_err(req, EINVAL);
    return;
  }
  FeatureModel model = node.model;
  if (get) {
    Bytes answer;
    if (model.get) {
      lock.unlock();
      answer = model.get(request);
      lock.lock();
    } else if (auto it = node.answers.find(request[0]); it != node.answers.end()) {
      answer = it->second;
    }
    if (answer.empty()) {
      fuse_reply_err(req, EPIPE);  // the device stalls the request
      return;
    }
    const size_t length = std::min(answer.size(), request.size());
    const int count = node.config.feature_count.value_or(static_cast<int>(length));
    fuse_reply_ioctl(req, count, answer.data(), length);
    return;
  }
  node.sets.push_back(request);
  if (model.set) {
    lock.unlock();
    model.set(request);
    lock.lock();
  }
  // The caller's buffer comes back as it went.
  fuse_reply_ioctl(req, static_cast<int>(request.size()), request.data(), request.size());
}

void DoIoctl(fuse_req_t req, fuse_ino_t, unsigned int cmd, void*, fuse_file_info* fi,
             unsigned flags, const void* in_buf, size_t in_size, size_t out_size) {
  State& state = StateOf(req);
  std::unique_lock lock(state.mutex);
  auto it = state.files.find(fi->fh);
  if ((flags & FUSE_IOCTL_COMPAT) != 0 || it == state.files.end()) {
    fuse_reply_err(req, it == state.files.end() ? EBADF : ENOSYS);
    return;
  }
  std::shared_ptr<NodeState> node = it->second.node;
  if (node->gone) {
    fuse_reply_err(req, ENODEV);
    return;
  }
  if (_IOC_TYPE(cmd) != 'H') {
    fuse_reply_err(req, ENOTTY);
    return;
  }
  const auto* in = static_cast<const uint8_t*>(in_buf);
  const FakeNode& config = node->config;
  switch (_IOC_NR(cmd)) {
    case _IOC_NR(HIDIOCGRDESCSIZE): {
      const int size = config.descriptor_size.value_or(static_cast<int>(config.descriptor.size()));
      fuse_reply_ioctl(req, 0, &size, sizeof size);
      return;
    }
    case _IOC_NR(HIDIOCGRDESC): {
      // The caller's .size never reaches us (the ioctl only reads): send it all.
      hidraw_report_descriptor descriptor{};
      descriptor.size = static_cast<uint32_t>(config.descriptor.size());
      std::memcpy(descriptor.value, config.descriptor.data(),
                  std::min(config.descriptor.size(), sizeof descriptor.value));
      fuse_reply_ioctl(req, 0, &descriptor, sizeof descriptor);
      return;
    }
    case _IOC_NR(HIDIOCGRAWINFO): {
      hidraw_devinfo info{};
      info.bustype = config.bus;
      info.vendor = static_cast<int16_t>(config.vendor);
      info.product = static_cast<int16_t>(config.product);
      fuse_reply_ioctl(req, 0, &info, sizeof info);
      return;
    }
    case _IOC_NR(HIDIOCGRAWNAME(0)):
      return ReplyString(req, config.name, out_size, config);
    case _IOC_NR(HIDIOCGRAWPHYS(0)):
      return ReplyString(req, config.phys, out_size, config);
    case _IOC_NR(HIDIOCGRAWUNIQ(0)):
      return ReplyString(req, config.uniq, out_size, config);
    case _IOC_NR(HIDIOCSFEATURE(0)):
    case _IOC_NR(HIDIOCGFEATURE(0)):
      return FeatureIoctl(req, lock, *node, _IOC_NR(cmd) == _IOC_NR(HIDIOCGFEATURE(0)),
                          Bytes(in, in + in_size));
    default:
      fuse_reply_err(req, ENOTTY);
  }
}

// Tells the kernel a node's name (and, given its inode, its attributes) changed. Never under
// the mutex: the kernel may first wait for a lookup the server is answering.
void InvalidateNode(fuse_session* session, int number, fuse_ino_t ino) {
  const std::string name = "hidraw" + std::to_string(number);
  fuse_lowlevel_notify_inval_entry(session, kRootIno, name.c_str(), name.size());
  if (ino != 0) fuse_lowlevel_notify_inval_inode(session, ino, -1, 0);
}

const fuse_lowlevel_ops kOps = [] {
  fuse_lowlevel_ops ops{};
  ops.lookup = DoLookup;
  ops.getattr = DoGetattr;
  ops.open = DoOpen;
  ops.release = DoRelease;
  ops.read = DoRead;
  ops.write = DoWrite;
  ops.poll = DoPoll;
  ops.ioctl = DoIoctl;
  return ops;
}();

}  // namespace

std::unique_ptr<FakeHidrawFs> FakeHidrawFs::Mount(const std::string& mountpoint,
                                                  std::string* error) {
  std::unique_ptr<FakeHidrawFs> fs(new FakeHidrawFs());
  fs->state_ = std::make_unique<State>();
  State& state = *fs->state_;
  const char* argv[] = {"usborva-fake-hidraw", "-o", "fsname=usborva-fake-hidraw"};
  fuse_args args = FUSE_ARGS_INIT(3, const_cast<char**>(argv));
  state.session = fuse_session_new(&args, &kOps, sizeof kOps, &state);
  fuse_opt_free_args(&args);
  if (state.session == nullptr) {
    *error = "fuse_session_new failed";
    return nullptr;
  }
  if (fuse_session_mount(state.session, mountpoint.c_str()) != 0) {
    fuse_session_destroy(state.session);
    state.session = nullptr;
    *error = "cannot mount FUSE on " + mountpoint;
    return nullptr;
  }
  InstallWakeHandler();
  state.loop = std::thread([session = state.session] { fuse_session_loop(session); });
  return fs;
}

FakeHidrawFs::~FakeHidrawFs() {
  if (state_ == nullptr || state_->session == nullptr) return;
  fuse_session_exit(state_->session);
  fuse_session_unmount(state_->session);
  if (state_->loop.joinable()) {
    pthread_kill(state_->loop.native_handle(), kWakeSignal);
    state_->loop.join();
  }
  for (auto& [fh, file] : state_->files) {
    if (file.poll_handle != nullptr) fuse_pollhandle_destroy(file.poll_handle);
  }
  fuse_session_destroy(state_->session);
}

void FakeHidrawFs::AddNode(int number, FakeNode config) {
  fuse_ino_t replaced = 0;
  {
    std::lock_guard lock(state_->mutex);
    if (auto it = state_->present.find(number); it != state_->present.end()) {
      replaced = it->second->ino;
    }
    auto node = std::make_shared<NodeState>();
    node->number = number;
    node->ino = state_->next_ino++;
    node->mode = config.refuse_open ? 0600 : 0666;
    clock_gettime(CLOCK_REALTIME, &node->ctime);
    node->config = std::move(config);
    state_->present[number] = node;
    state_->by_ino[node->ino] = node;
  }
  // The kernel may still hold the name of a node this one replaces, or a failed lookup.
  InvalidateNode(state_->session, number, replaced);
}

void FakeHidrawFs::Unplug(int number) {
  fuse_ino_t ino = 0;
  {
    std::lock_guard lock(state_->mutex);
    auto it = state_->present.find(number);
    if (it == state_->present.end()) return;
    ino = it->second->ino;
    it->second->gone = true;
    for (auto& [fh, file] : state_->files) {
      if (file.node != it->second) continue;
      if (file.queue.empty()) {
        for (fuse_req_t blocked : file.blocked_reads) fuse_reply_err(blocked, EIO);
        file.blocked_reads.clear();
      }
      NotifyPoll(file);
    }
    state_->present.erase(it);
  }
  InvalidateNode(state_->session, number, ino);
}

void FakeHidrawFs::SendInput(int number, Bytes report) {
  std::lock_guard lock(state_->mutex);
  auto it = state_->present.find(number);
  if (it == state_->present.end()) return;
  for (auto& [fh, file] : state_->files) {
    if (file.node != it->second) continue;
    if (!file.blocked_reads.empty()) {
      fuse_reply_buf(file.blocked_reads.front(), reinterpret_cast<const char*>(report.data()),
                     report.size());
      file.blocked_reads.pop_front();
      continue;
    }
    if (file.queue.size() < kQueueDepth) file.queue.push_back(report);
    NotifyPoll(file);
  }
}

void FakeHidrawFs::SetFeatureModel(int number, FeatureModel model) {
  std::lock_guard lock(state_->mutex);
  if (auto it = state_->present.find(number); it != state_->present.end()) {
    it->second->model = std::move(model);
  }
}

void FakeHidrawFs::SetFeatureAnswer(int number, uint8_t report_id, Bytes answer) {
  std::lock_guard lock(state_->mutex);
  if (auto it = state_->present.find(number); it != state_->present.end()) {
    it->second->answers[report_id] = std::move(answer);
  }
}

std::vector<Bytes> FakeHidrawFs::FeatureSets(int number) {
  std::lock_guard lock(state_->mutex);
  auto it = state_->present.find(number);
  return it == state_->present.end() ? std::vector<Bytes>{} : it->second->sets;
}

void FakeHidrawFs::SetRefuseOpen(int number, bool refuse) {
  fuse_ino_t ino = 0;
  {
    std::lock_guard lock(state_->mutex);
    auto it = state_->present.find(number);
    if (it == state_->present.end()) return;
    it->second->config.refuse_open = refuse;
    it->second->mode = refuse ? 0600 : 0666;
    clock_gettime(CLOCK_REALTIME, &it->second->ctime);
    ino = it->second->ino;
  }
  InvalidateNode(state_->session, number, ino);
}

int FakeHidrawFs::Opens(int number) {
  std::lock_guard lock(state_->mutex);
  auto it = state_->present.find(number);
  return it == state_->present.end() ? 0 : it->second->opens;
}

int FakeHidrawFs::OpenFilesSettled(int number) {
  // The kernel sends a file's release after close() has returned, so a count taken right
  // after a close may still include it: give the releases a second to arrive.
  for (int wait = 0; wait < 100 && OpenFiles(number) != 0; ++wait) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return OpenFiles(number);
}

int FakeHidrawFs::OpenFiles(int number) {
  std::lock_guard lock(state_->mutex);
  auto it = state_->present.find(number);
  if (it == state_->present.end()) return 0;
  return static_cast<int>(
      std::count_if(state_->files.begin(), state_->files.end(),
                    [&](const auto& f) { return f.second.node == it->second; }));
}

}  // namespace usborva::testing
