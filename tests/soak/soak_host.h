// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_TESTS_SOAK_SOAK_HOST_H_
#define USBORVA_TESTS_SOAK_SOAK_HOST_H_

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "ledger.h"
#include "usborva/container.h"
#include "usborva/forwarding_event_sink.h"
#include "usborva/usborva.h"
#include "usborva_test/null_container.h"

namespace usborva::soak {

// The host of one control in a long run: a manual poll timer, and handlers that check each
// event, as it is raised, against the report the ledger says is due, and read the
// control's properties the way a real handler would. Keeps nothing that grows with the run.
// The sink comes first among the bases: it exists before the container is handed it.
class SoakHost : public ForwardingEventSink, public test::NullContainer {
 public:
  explicit SoakHost(Ledger& ledger) : NullContainer(this), ledger_(ledger) {}
  void Attach(const USBORVA& control) { control_ = &control; }

  // One tick of the poll timer, if enabled; then accounts for a card-data item the tick
  // stored without an event.
  void Tick();

  uint64_t failures() const { return failures_; }
  const std::string& first_failure() const { return first_failure_; }
  uint64_t ticks() const { return ticks_; }

 private:
  using Kind = Expectation::Kind;

  // Every event: the report due must be of its kind with its byte arguments, and what the
  // event carries or leaves in the properties must be what that report said.
  void Forward(const RaisedEvent& event) override;
  // The due report when it is of kind with these byte arguments; else records a failure
  // and answers nullptr.
  const Expectation* Due(Kind kind, std::array<uint8_t, 3> args);
  void Seen();
  void Fail(const char* what, const Expectation* due);
  const String& Field(uint8_t item_type) const;
  bool CardFieldsAsSeen() const;

  Ledger& ledger_;
  const USBORVA* control_ = nullptr;
  // The card-data fields as the host last saw them set, by item type (1-7).
  std::array<String, 8> items_;
  String dukpt_ksn_;
  uint64_t ticks_ = 0;
  unsigned seen_this_tick_ = 0;
  uint64_t failures_ = 0;
  std::string first_failure_;
};

}  // namespace usborva::soak

#endif  // USBORVA_TESTS_SOAK_SOAK_HOST_H_
