// SPDX-License-Identifier: Apache-2.0
// The built-in demonstration, paced for a person to follow: about four seconds.
#include "usborva/scenario.h"

namespace usborva::scenario {
namespace {

constexpr char kDemoText[] = R"(# One of everything a host application meets.
serial "DEMO0001"
product-string "USB Payment Terminal"
firmware "2.04.1"
msr-ksn "FFFF9876543210E00002"

wait 300ms
note "The terminal reports that it is ready"
device-status 1 0 0
wait 500ms
note "A card is swiped: the card status, then the card data"
swipe track1 "%B4111111111111111^DEMO/ALEX Q.MR^2712101123400000000?" \
)"
                             R"(track2 ";4111111111111111=27121011234000000000?" )"
                             R"(enc-track1 9F1AC35D0B7E62A4118C2F0D5B93E7A6 )"
                             R"(enc-track2 3C71D0A9E5584B2FA6103D7C9E21B85F )"
                             R"(ksn FFFF9876543210E00003 sigil-status 0 card-status 0 1 1
wait 800ms
note "The customer enters a PIN"
pin-response 0 FFFF9876543210E00004 6A1F0C33D2B84E97
wait 500ms
note "The customer presses a selection key"
select-response 0 2
wait 400ms
note "The terminal has finished showing a message"
display-done 0
wait 400ms
note "The terminal is unplugged, then plugged back in"
unplug
wait 500ms
plug
wait 500ms
device-status 1 0 0
wait 300ms
)";

}  // namespace

std::string_view DemoScenarioText() { return kDemoText; }

Scenario DemoScenario() { return ParseScenario(DemoScenarioText(), kDemoScenarioName); }

}  // namespace usborva::scenario
