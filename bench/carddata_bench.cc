// SPDX-License-Identifier: Apache-2.0
// The cost of the card-data work a host does after each swipe, on a typical two-track text.
#include <benchmark/benchmark.h>

#include "carddata/extract_track.h"
#include "carddata/locate_element.h"
#include "carddata/names.h"
#include "carddata/stored_tracks.h"
#include "usborva/card_view.h"

namespace {

using usborva::String;

// 120 characters: track 1 (format B, padded name field) and track 2, as a reader joins them.
const String kCardText =
    u"%B4111111111111111^DOE/JOHN Q.MR            ^25121011234567890123456789012345?"
    u";4111111111111111=25121011234567890123456?";

// What FindElement does: the track through GetTrack's routine, then the search. The
// expiry: four characters after the "=" of the whole text.
void BM_FindElement(benchmark::State& state) {
  for (auto _ : state) {
    const String track =
        usborva::carddata::ExtractTrack(0, kCardText, usborva::carddata::ClearTrackSet());
    usborva::Variant direction = usborva::Variant::Missing();
    benchmark::DoNotOptimize(usborva::carddata::LocateElement(track, u"=", 0, u"4", direction));
  }
}
BENCHMARK(BM_FindElement);

// The same with a terminator: the name field between the first and second "^".
void BM_FindElementTerminator(benchmark::State& state) {
  for (auto _ : state) {
    const String track =
        usborva::carddata::ExtractTrack(0, kCardText, usborva::carddata::ClearTrackSet());
    usborva::Variant direction = usborva::Variant::Missing();
    benchmark::DoNotOptimize(usborva::carddata::LocateElement(track, u"^", 0, u"^^", direction));
  }
}
BENCHMARK(BM_FindElementTerminator);

void BM_Names(benchmark::State& state) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(usborva::carddata::ParseFirstName(kCardText));
    benchmark::DoNotOptimize(usborva::carddata::ParseLastName(kCardText));
  }
}
BENCHMARK(BM_Names);

void BM_ParseCardView(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(usborva::ParseCardView(kCardText));
}
BENCHMARK(BM_ParseCardView);

}  // namespace
