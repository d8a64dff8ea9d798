// SPDX-License-Identifier: Apache-2.0
// The host's two files, the per-user settings and the property bag, written where the file
// system refuses: a folder on the path is a file, the folder is read-only, the disk is full,
// the file-size limit cuts the write short, the rename is refused, the file's name is taken
// by a folder. Each save must fail with error 75 naming the place and the system's reason,
// and leave every file there byte for byte as it was, with no temporary file behind.
//
// Each case runs in a child process, so that file-size limits and mounts stay there. Root
// ignores permissions, so as root the read-only folder is a read-only bind mount and the
// full disk a tiny tmpfs, both in a private mount namespace; without root those two cases
// use permissions or are skipped.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <string>

#include "usborva/automation_error.h"
#include "usborva/property_bag_file.h"
#include "usborva/settings_store.h"
#include "usborva/variant.h"

namespace usborva::faults {
namespace {

namespace fs = std::filesystem;

// One of the host's files, written under a root folder.
struct Writer {
  const char* name;
  std::function<std::string(const std::string& root)> path;
  std::function<void(const std::string& root, const String& value)> save;
};

const Writer kSettings{
    "settings store",
    [](const std::string& root) { return SettingsStore(root).FilePath(u"USBHID"); },
    [](const std::string& root, const String& value) {
      SettingsStore(root).SaveSetting(u"USBHID", u"Startup", u"ComPort", value);
    }};

const Writer kPropertyBag{
    "property bag", [](const std::string& root) { return root + "/form.bag"; },
    [](const std::string& root, const String& value) {
      PropertyBagFile bag(root + "/form.bag");
      bag.WriteProperty(u"Firmware", Variant::FromString(value), Variant::FromString(u""));
      bag.Save();
    }};

// Every regular file under folder with its contents, and every folder.
std::map<std::string, std::string> Snapshot(const std::string& folder) {
  std::map<std::string, std::string> files;
  std::error_code ignored;
  for (const auto& entry : fs::recursive_directory_iterator(folder, ignored)) {
    std::string contents = "<folder>";
    if (entry.is_regular_file()) {
      std::ifstream in(entry.path(), std::ios::binary);
      contents.assign(std::istreambuf_iterator<char>(in), {});
    }
    files[entry.path().string()] = std::move(contents);
  }
  return files;
}

bool InPrivateMountNamespace() {
  return unshare(CLONE_NEWNS) == 0 &&
         mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}

struct Outcome {
  std::string skipped;  // why the case could not be set up here
  int32_t number = 0;   // the automation error, 0 when the save succeeded
  std::string description;
  bool intact = false;
};

// How a case makes the file system refuse. Given the writer and a fresh folder, it writes
// the previous file and arranges the failure; it returns the root the failing save gets,
// or sets skip to why it cannot run here.
using Arrange =
    std::function<std::string(const Writer&, const std::string& folder, std::string& skip)>;

struct Case {
  const char* name;
  int reason;  // the errno whose text the error must carry
  Arrange arrange;
};

void SavePrevious(const Writer& writer, const std::string& root) {
  writer.save(root, u"previous value");
}

const Case kCases[] = {
    {"a folder on the path is a file", ENOTDIR,
     [](const Writer& writer, const std::string& folder, std::string&) {
       SavePrevious(writer, folder);
       std::ofstream(folder + "/plain") << "not a folder";
       return folder + "/plain";
     }},
    {"the folder is read-only", EROFS,
     [](const Writer& writer, const std::string& folder, std::string& skip) {
       SavePrevious(writer, folder);
       const std::string where = fs::path(writer.path(folder)).parent_path().string();
       if (geteuid() != 0) {
         chmod(where.c_str(), 0555);
         return folder;
       }
       if (!InPrivateMountNamespace() ||
           mount(where.c_str(), where.c_str(), nullptr, MS_BIND, nullptr) != 0 ||
           mount(nullptr, where.c_str(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) != 0) {
         skip = std::string("no read-only bind mount: ") + std::strerror(errno);
       }
       return folder;
     }},
    {"the disk is full", ENOSPC,
     [](const Writer& writer, const std::string& folder, std::string& skip) {
       if (geteuid() != 0 || !InPrivateMountNamespace() ||
           mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=64k,mode=0700") != 0) {
         skip = "a full disk needs a tmpfs mount, which needs root";
         return folder;
       }
       SavePrevious(writer, folder);
       const int fd = open((folder + "/filler").c_str(), O_WRONLY | O_CREAT, 0600);
       const std::string block(4096, 'f');
       while (write(fd, block.data(), block.size()) > 0) {
       }
       close(fd);
       return folder;
     }},
    {"the file-size limit cuts the write short", EFBIG,
     [](const Writer& writer, const std::string& folder, std::string&) {
       SavePrevious(writer, folder);
       signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails instead of ending the process
       const rlimit limit{1024, 1024};
       setrlimit(RLIMIT_FSIZE, &limit);
       return folder;
     }},
    {"the rename is refused (the name is a mount point)", EBUSY,
     [](const Writer& writer, const std::string& folder, std::string& skip) {
       SavePrevious(writer, folder);
       const std::string target = writer.path(folder);
       const std::string shadow = folder + ".shadow";
       fs::copy_file(target, shadow);
       if (geteuid() != 0 || !InPrivateMountNamespace() ||
           mount(shadow.c_str(), target.c_str(), nullptr, MS_BIND, nullptr) != 0) {
         skip = "pinning a file's name needs a bind mount, which needs root";
       }
       return folder;
     }},
    {"the file's name is taken by a folder", EISDIR,
     [](const Writer& writer, const std::string& folder, std::string&) {
       SavePrevious(writer, folder);  // the store's lock file is there, as after any save
       const std::string target = writer.path(folder);
       fs::remove(target);
       fs::create_directories(target);
       std::ofstream(target + "/keep") << "someone else's";
       return folder;
     }},
};

// Runs the case for the writer in a child process and reports what the save did.
Outcome RunInChild(const Writer& writer, const Case& c, const std::string& folder) {
  int channel[2];
  if (pipe(channel) != 0) {
    Outcome none;
    none.skipped = "no pipe";
    return none;
  }
  const pid_t child = fork();
  if (child == 0) {
    close(channel[0]);
    std::string message;
    std::string skip;
    try {
      const std::string root = c.arrange(writer, folder, skip);
      if (skip.empty()) {
        const auto before = Snapshot(folder);
        std::string number = "0";
        try {
          writer.save(root, String(8192, u'n'));
        } catch (const AutomationError& e) {
          number = std::to_string(e.number()) + "\x1f" + e.description();
        }
        if (number == "0") number += "\x1f";
        message = "run\x1f" + number + "\x1f" + (Snapshot(folder) == before ? "1" : "0");
      } else {
        message = "skip\x1f" + skip;
      }
    } catch (const std::exception& e) {
      message = std::string("skip\x1f") + "could not arrange: " + e.what();
    }
    (void)!write(channel[1], message.data(), message.size());
    _exit(0);
  }
  close(channel[1]);
  std::string message;
  char buffer[4096];
  for (ssize_t n; (n = read(channel[0], buffer, sizeof buffer)) > 0;) message.append(buffer, n);
  close(channel[0]);
  int status = 0;
  waitpid(child, &status, 0);
  std::vector<std::string> fields;
  for (size_t start = 0;;) {
    const size_t end = message.find('\x1f', start);
    fields.push_back(message.substr(start, end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  Outcome outcome;
  if (fields[0] == "skip") {
    outcome.skipped = fields.size() > 1 ? fields[1] : "";
  } else if (fields.size() == 4) {
    outcome.number = std::stoi(fields[1]);
    outcome.description = fields[2];
    outcome.intact = fields[3] == "1";
  } else {
    outcome.skipped = "the child died: status " + std::to_string(status);
  }
  return outcome;
}

class FileFaultsTest : public ::testing::TestWithParam<std::tuple<const Writer*, const Case*>> {};

TEST_P(FileFaultsTest, FailedSaveRaises75WithTheReasonAndKeepsEveryFile) {
  const auto [writer, c] = GetParam();
  std::string pattern = (fs::temp_directory_path() / "usborva-faults-XXXXXX").string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  const std::string folder = pattern + "/store";
  fs::create_directory(folder);
  const Outcome outcome = RunInChild(*writer, *c, folder);
  std::error_code ignored;
  fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add, ignored);
  for (const auto& entry : fs::recursive_directory_iterator(folder, ignored)) {
    if (entry.is_directory())
      fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
  }
  fs::remove_all(pattern, ignored);
  if (!outcome.skipped.empty()) GTEST_SKIP() << outcome.skipped;
  EXPECT_EQ(outcome.number, error::kPathFileAccessError) << outcome.description;
  // Without root the read-only folder is one without write permission.
  const int reason = c->reason == EROFS && geteuid() != 0 ? EACCES : c->reason;
  EXPECT_NE(outcome.description.find(std::strerror(reason)), std::string::npos)
      << outcome.description;
  EXPECT_NE(outcome.description.find(folder), std::string::npos) << outcome.description;
  EXPECT_TRUE(outcome.intact) << "files changed under a failed save";
}

std::string CaseName(const ::testing::TestParamInfo<FileFaultsTest::ParamType>& info) {
  const auto [writer, c] = info.param;
  std::string name = std::string(writer->name) + " " + c->name;
  std::string out;
  bool upper = true;
  for (char ch : name) {
    if (std::isalnum(static_cast<unsigned char>(ch))) {
      out.push_back(upper ? static_cast<char>(std::toupper(static_cast<unsigned char>(ch))) : ch);
      upper = false;
    } else {
      upper = true;
    }
  }
  return out;
}

INSTANTIATE_TEST_SUITE_P(Writers, FileFaultsTest,
                         ::testing::Combine(::testing::Values(&kSettings, &kPropertyBag),
                                            ::testing::Values(&kCases[0], &kCases[1], &kCases[2],
                                                              &kCases[3], &kCases[4], &kCases[5])),
                         CaseName);

}  // namespace
}  // namespace usborva::faults
