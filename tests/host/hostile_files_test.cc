// SPDX-License-Identifier: Apache-2.0
// What the host's file readers make of things that are not the file they expect: each must
// refuse at once with error 75 naming the path, never hang, never fill memory, and never
// take an unreadable file for a missing one.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>

#include "host/settings_text.h"
#include "platform/posix/file_system.h"
#include "temp_folder.h"
#include "usborva/automation_error.h"
#include "usborva/property_bag_file.h"
#include "usborva/settings_store.h"
#include "usborva_test/growth.h"

namespace usborva {
namespace {

using testing::ReadAll;
using testing::TempFolder;
using testing::WriteAll;

// The AutomationError a call throws, or a failure when it throws none.
AutomationError ErrorOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const AutomationError& error) {
    return error;
  }
  ADD_FAILURE() << "no error";
  return AutomationError(0);
}

// Puts something hostile where a reader expects a file.
using Planter = std::function<void(const std::string& path)>;

struct Hostile {
  const char* name;
  Planter plant;
  const char* reason;  // in the error's description
};

std::vector<Hostile> HostileThings(size_t limit) {
  return {
      {"fifo", [](const std::string& p) { ASSERT_EQ(mkfifo(p.c_str(), 0600), 0); }, "FIFO"},
      {"dev-zero", [](const std::string& p) { std::filesystem::create_symlink("/dev/zero", p); },
       "device"},
      {"folder", [](const std::string& p) { std::filesystem::create_directories(p); }, "directory"},
      {"over-limit",
       [limit](const std::string& p) { WriteAll(p, "[Startup]\n" + std::string(limit, ';')); },
       "limit of"},
  };
}

TEST(HostileFilesTest, EveryReaderRefusesWhatIsNotARegularFileOfSensibleSize) {
  for (const Hostile& thing : HostileThings(SettingsStore::kMaxFileBytes)) {
    SCOPED_TRACE(thing.name);
    TempFolder folder;
    const SettingsStore store(folder.path());
    const std::string settings = store.FilePath(u"App");
    std::filesystem::create_directories(std::filesystem::path(settings).parent_path());
    thing.plant(settings);
    const std::string bag = folder / "bag";
    thing.plant(bag);

    const auto start = std::chrono::steady_clock::now();
    for (const AutomationError& error : {
             ErrorOf([&] { store.GetSetting(u"App", u"Startup", u"k", u""); }),
             ErrorOf([&] { store.SaveSetting(u"App", u"Startup", u"k", u"v"); }),
             ErrorOf([&] { PropertyBagFile::Load(bag); }),
         }) {
      EXPECT_EQ(error.number(), error::kPathFileAccessError);
      EXPECT_NE(error.description().find(folder.path()), std::string::npos) << error.description();
      EXPECT_NE(error.description().find(thing.reason), std::string::npos) << error.description();
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  }
}

TEST(HostileFilesTest, LimitIsInclusiveAndASaveNeverWritesPastIt) {
  TempFolder folder;
  const std::string path = folder / "f";
  WriteAll(path, std::string(1000, 'x'));
  EXPECT_EQ(posix::ReadFileIfExists(path, 1000)->size(), 1000u);
  EXPECT_NE(ErrorOf([&] { posix::ReadFileIfExists(path, 999); }).description().find("999 bytes"),
            std::string::npos);
  EXPECT_FALSE(posix::ReadFileIfExists(folder / "missing/f", 10));

  const SettingsStore store(folder.path());
  store.SaveSetting(u"App", u"Startup", u"a", u"small");
  const std::string before = ReadAll(store.FilePath(u"App"));
  const String huge(SettingsStore::kMaxFileBytes, u'x');
  EXPECT_EQ(ErrorOf([&] { store.SaveSetting(u"App", u"Startup", u"b", huge); }).number(),
            error::kPathFileAccessError);
  EXPECT_EQ(ReadAll(store.FilePath(u"App")), before);

  PropertyBagFile bag(folder / "bag");
  bag.WriteProperty(u"CardData", Variant::FromString(huge), Variant::FromString(u""));
  EXPECT_EQ(ErrorOf([&] { bag.Save(); }).number(), error::kPathFileAccessError);
  EXPECT_FALSE(std::filesystem::exists(folder / "bag"));
}

TEST(HostileFilesTest, UnreadableFileIsAnErrorNotAMissingOne) {
  if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind root";
  TempFolder folder;
  const SettingsStore store(folder.path());
  store.SaveSetting(u"App", u"Startup", u"k", u"v");
  ASSERT_EQ(chmod(store.FilePath(u"App").c_str(), 0), 0);
  EXPECT_EQ(ErrorOf([&] { store.GetSetting(u"App", u"Startup", u"k", u""); }).number(),
            error::kPathFileAccessError);
}

TEST(HostileFilesTest, HeldLockTimesOutWithError75NamingTheLockFile) {
  TempFolder folder;
  const std::string lock_path = folder / "settings.ini.lock";
  const int holder = open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(flock(holder, LOCK_EX), 0);
  const auto start = std::chrono::steady_clock::now();
  const AutomationError error =
      ErrorOf([&] { posix::FileLock lock(lock_path, std::chrono::milliseconds(100)); });
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
  EXPECT_EQ(error.number(), error::kPathFileAccessError);
  EXPECT_NE(error.description().find(lock_path), std::string::npos) << error.description();
  close(holder);
  posix::FileLock free_now(lock_path, std::chrono::milliseconds(100));  // released: no throw
}

// Time for a 1 MB input over time for a 100 KB one: about 10 when linear, about 100 when
// quadratic.
double GrowthFrom100KbTo1Mb(const std::function<std::string(size_t)>& make,
                            const std::function<void(const std::string&)>& parse) {
  const std::string small = make(100 * 1000);
  const std::string large = make(1000 * 1000);
  return test::GrowthRatio([&] { parse(small); }, [&] { parse(large); });
}

// Distinct keys, one per line of ordinary length: what made the repeat check quadratic.
std::string ManyKeys(size_t bytes, std::string_view header) {
  std::string text(header);
  for (size_t i = 0; text.size() < bytes; ++i) {
    text += "Key" + std::to_string(i) + " = \"a value of ordinary length\"\n";
  }
  return text;
}

TEST(HostileFilesTest, ParsersTakeTimeLinearInTheirInput) {
  const double bag = GrowthFrom100KbTo1Mb([](size_t bytes) { return ManyKeys(bytes, ""); },
                                          [](const std::string& text) {
                                            PropertyBagFile parsed =
                                                PropertyBagFile::Parse(text, "bag");
                                            parsed.ReadProperty(u"CardData", Variant());
                                          });
  EXPECT_LT(bag, 15) << "property bag";
  RecordProperty("property_bag_growth", std::to_string(bag));
  const double settings =
      GrowthFrom100KbTo1Mb([](size_t bytes) { return ManyKeys(bytes, "[Startup]\n"); },
                           [](const std::string& text) {
                             const host::SettingsText parsed(text);
                             parsed.Find(u"Startup", u"missing");
                             parsed.WithValue(u"Startup", u"new", u"v");
                           });
  EXPECT_LT(settings, 15) << "settings";
  RecordProperty("settings_growth", std::to_string(settings));
}

}  // namespace
}  // namespace usborva
