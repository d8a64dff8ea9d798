/* SPDX-License-Identifier: Apache-2.0 */
/* A program with a loop of its own drives the control: it sleeps as long as the host
 * allows, then dispatches what is due, on the real clock. */
#define _POSIX_C_SOURCE 200809L
#include <time.h>

#include "check.h"
#include "usborva/usborva_c.h"

static const char kScenario[] =
    "serial \"SIM00002\"\n"
    "msr-ksn \"FFFF9876543210E00002\"\n"
    "wait 30ms\n"
    "device-status 1 0 0\n"
    "wait 30ms\n"
    "swipe track2 \";4111111111111111=28121010000000000000?\" ksn FFFF9876543210E00009 "
    "card-status 0 1 1\n"
    "wait 30ms\n";

static void on_event(void* user, usborva_control* control, int32_t id, const uint8_t* args,
                     size_t arg_count, const char* ksn, const char* epb) {
  (void)control;
  (void)args;
  (void)arg_count;
  (void)ksn;
  (void)epb;
  if (id == USBORVA_EVENT_CARD_DATA_CHANGED) ++*(int*)user;
}

static double now_ms(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (double)t.tv_sec * 1000.0 + (double)t.tv_nsec / 1e6;
}

static void sleep_ms(int64_t ms) {
  struct timespec t;
  t.tv_sec = (time_t)(ms / 1000);
  t.tv_nsec = (long)(ms % 1000) * 1000000L;
  nanosleep(&t, NULL);
}

int main(void) {
  usborva_host* host = NULL;
  usborva_control* control = NULL;
  int cards = 0;
  int finished = 0;
  int64_t wait = 0;
  int wakeups = 0;
  double start;
  char* text = NULL;

  CHECK_OK(usborva_host_create(0, &host));
  CHECK_OK(usborva_host_next_timeout_ms(host, &wait));
  CHECK(wait == -1); /* nothing scheduled */
  CHECK_STATUS(usborva_host_next_timeout_ms(host, NULL), USBORVA_E_NULL_POINTER);
  CHECK_OK(usborva_host_use_scenario_text(host, kScenario, "foreign.scn"));
  CHECK_OK(usborva_control_create(host, &control));
  CHECK_OK(usborva_control_set_event_handler(control, on_event, &cards));
  CHECK_OK(usborva_control_init_properties(control));
  CHECK_OK(usborva_put_bool(control, "PortOpen", 1));
  CHECK_OK(usborva_host_next_timeout_ms(host, &wait));
  CHECK(wait >= 0 && wait <= 30);

  start = now_ms();
  while ((cards == 0 || !finished) && now_ms() - start < 10000.0) {
    CHECK_OK(usborva_host_next_timeout_ms(host, &wait));
    if (wait < 0 || wait > 50) wait = 50;
    sleep_ms(wait);
    ++wakeups;
    CHECK_OK(usborva_host_dispatch(host));
    CHECK_OK(usborva_host_scenario_finished(host, &finished));
  }
  CHECK(cards == 1);
  CHECK(finished == 1);
  /* The loop slept between ticks: far fewer wake-ups than milliseconds passed. */
  CHECK(wakeups < (int)(now_ms() - start));
  CHECK_OK(usborva_get_string(control, "DUKPTKSN", &text));
  CHECK_TEXT(text, "FFFF9876543210E00009");

  CHECK_OK(usborva_put_bool(control, "PortOpen", 0));
  CHECK_OK(usborva_host_destroy(host)); /* takes the control with it */
  return check_report("foreign_loop");
}
