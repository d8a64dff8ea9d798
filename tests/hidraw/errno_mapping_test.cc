// SPDX-License-Identifier: Apache-2.0
// The errno values the hidraw calls are expected to give map to their Windows codes
// silently; any other becomes ERROR_GEN_FAILURE and is first told on the debug channel with
// the call, the path and the errno.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "platform/hidraw/hidraw_device.h"
#include "usborva/diagnostics.h"

namespace usborva::hidraw {
namespace {

class Lines : public DiagnosticSink {
 public:
  void Diagnostic(DiagnosticTopic topic, std::string_view text) override {
    lines.push_back(std::string(DiagnosticTopicName(topic)) + ": " + std::string(text));
  }
  std::vector<std::string> lines;
};

TEST(ErrnoMappingTest, ExpectedErrnosMapSilentlyTheRestAreToldWithContext) {
  Lines sink;
  ScopedDiagnosticSink on(sink);
  EXPECT_EQ(WinErrorFromErrno(EACCES, "open", "/dev/hidraw0"), kErrorAccessDenied);
  EXPECT_EQ(WinErrorFromErrno(ENODEV, "read", "/dev/hidraw0"), kErrorDeviceNotConnected);
  EXPECT_EQ(WinErrorFromErrno(EPIPE, "HIDIOCGFEATURE", "/dev/hidraw0"), kErrorGenFailure);
  EXPECT_TRUE(sink.lines.empty());
  EXPECT_EQ(WinErrorFromErrno(EXDEV, "read", "/dev/hidraw3"), kErrorGenFailure);
  ASSERT_EQ(sink.lines.size(), 1u);
  EXPECT_EQ(
      sink.lines[0].rfind(
          "system: hidraw read /dev/hidraw3: unexpected errno " + std::to_string(EXDEV) + " (", 0),
      0u)
      << sink.lines[0];
  EXPECT_NE(sink.lines[0].find("reported as error 31"), std::string::npos);
}

}  // namespace
}  // namespace usborva::hidraw
