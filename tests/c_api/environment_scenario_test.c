/* SPDX-License-Identifier: Apache-2.0 */
/* A C program that chooses no scenario, pointed at one by the environment
 * (USBORVA_SCENARIO): its control meets the simulated terminal and the scenario's swipe. A
 * file that cannot be read fails the control's creation with USBORVA_E_SCENARIO, naming the
 * file; a host's own scenario is left alone. */
#define _POSIX_C_SOURCE 200809L
#include <stdlib.h>
#include <string.h>

#include "check.h"
#include "usborva/usborva_c.h"

struct seen {
  int cards;
  char ksn[64];
};

static void on_event(void* user, usborva_control* control, int32_t id, const uint8_t* args,
                     size_t arg_count, const char* ksn, const char* epb) {
  struct seen* s = (struct seen*)user;
  char* text = NULL;
  (void)args;
  (void)arg_count;
  (void)ksn;
  (void)epb;
  if (id != USBORVA_EVENT_CARD_DATA_CHANGED) return;
  ++s->cards;
  if (usborva_get_string(control, "DUKPTKSN", &text) == USBORVA_OK) {
    strncpy(s->ksn, text, sizeof s->ksn - 1);
  }
  usborva_free(text);
}

/* One control on a virtual-time host: open, two seconds of the scenario, close. */
static void play(int use_own_scenario, struct seen* s) {
  usborva_host* host = NULL;
  usborva_control* control = NULL;
  char* serial = NULL;
  CHECK_OK(usborva_host_create(USBORVA_HOST_VIRTUAL_TIME, &host));
  if (use_own_scenario) {
    CHECK_OK(usborva_host_use_scenario_text(host, "serial \"OWN\"\n", "own"));
  }
  CHECK_OK(usborva_control_create(host, &control));
  CHECK_OK(usborva_control_set_event_handler(control, on_event, s));
  CHECK_OK(usborva_control_init_properties(control));
  CHECK_OK(usborva_put_bool(control, "PortOpen", 1));
  CHECK_OK(usborva_get_string(control, "DeviceSerialNum", &serial));
  CHECK_TEXT(serial, use_own_scenario ? "OWN" : "SIM00001");
  CHECK_OK(usborva_host_run_for(host, 2000));
  CHECK_OK(usborva_host_destroy(host));
}

int main(void) {
  struct seen s;
  usborva_host* host = NULL;
  usborva_control* control = NULL;
  char* description = NULL;

  setenv("USBORVA_SCENARIO", USBORVA_EXAMPLES_DIR "/normal_swipe.scn", 1);
  memset(&s, 0, sizeof s);
  play(0, &s);
  CHECK(s.cards == 1);
  CHECK(strcmp(s.ksn, "FFFF9876543210E00007") == 0);

  memset(&s, 0, sizeof s);
  play(1, &s);
  CHECK(s.cards == 0);

  setenv("USBORVA_SCENARIO", "/nonexistent/usborva/missing.scn", 1);
  CHECK_OK(usborva_host_create(0, &host));
  CHECK_STATUS(usborva_control_create(host, &control), USBORVA_E_SCENARIO);
  CHECK_OK(usborva_last_error_description(host, &description));
  CHECK(description != NULL && strstr(description, "/nonexistent/usborva/missing.scn") != NULL);
  usborva_free(description);
  CHECK_OK(usborva_host_destroy(host));
  return check_report("environment_scenario_test");
}
