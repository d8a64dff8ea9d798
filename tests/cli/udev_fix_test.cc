// SPDX-License-Identifier: Apache-2.0
#include "udev_fix.h"

#include <gtest/gtest.h>

namespace usborva::cli {
namespace {

TEST(UdevFixTest, NamesTheRuleUdevSeesAndBothVariantsWithoutReplacingIt) {
  const std::string installed = UdevFix("/usr/lib/udev/rules.d/70-usborva.rules");
  EXPECT_NE(installed.find("Installed: /usr/lib/udev/rules.d/70-usborva.rules"), std::string::npos);
  for (const std::string& fix : {installed, UdevFix("")}) {
    EXPECT_NE(fix.find("uaccess"), std::string::npos) << fix;
    EXPECT_NE(fix.find("plugdev"), std::string::npos) << fix;
    EXPECT_NE(fix.find("udevadm control --reload-rules"), std::string::npos) << fix;
    // A one-line rule written over the packaged one would lose the firmware string's line.
    EXPECT_EQ(fix.find("tee"), std::string::npos) << fix;
    EXPECT_EQ(fix.find("KERNEL=="), std::string::npos) << fix;
  }
  EXPECT_NE(UdevFix("").find("sudo install -m 0644 packaging/udev/70-usborva.rules"),
            std::string::npos);
}

}  // namespace
}  // namespace usborva::cli
