/* SPDX-License-Identifier: Apache-2.0 */
/* The card's fields after a swipe: masked by default, clear only when asked, nothing but
 * the found tracks for malformed data, and the handle and pointer checks. */
#include <stdio.h>
#include <string.h>

#include "check.h"
#include "usborva/usborva_c.h"

static const char kMasked[] =
    "track1=1\ntrack2=1\npan=411111******1111\npan_luhn_valid=1\nsurname=PUBLIC\n"
    "first_name=JOHN\nmiddle_initial=Q\ntitle=\nexpiry=2812\nservice_code=101\n";

static void check_after_swipe(void) {
  usborva_host* host = NULL;
  usborva_control* control = NULL;
  char* lines = NULL;
  CHECK_OK(usborva_host_create(USBORVA_HOST_VIRTUAL_TIME, &host));
  CHECK_OK(usborva_host_use_scenario_file(host, USBORVA_EXAMPLES_DIR "/normal_swipe.scn"));
  CHECK_OK(usborva_control_create(host, &control));
  CHECK_OK(usborva_control_init_properties(control));
  CHECK_OK(usborva_card_view(control, 0, &lines));
  CHECK_TEXT(lines,
             "track1=0\ntrack2=0\npan=\npan_luhn_valid=0\nsurname=\nfirst_name=\n"
             "middle_initial=\ntitle=\nexpiry=\nservice_code=\n");
  CHECK_OK(usborva_put_bool(control, "PortOpen", 1));
  CHECK_OK(usborva_host_run_for(host, 3000));
  CHECK_OK(usborva_card_view(control, 0, &lines));
  CHECK_TEXT(lines, kMasked);
  CHECK_OK(usborva_card_view(control, 1, &lines));
  CHECK(lines != NULL && strstr(lines, "pan=4111111111111111\n") != NULL &&
        strstr(lines, "track2_discretionary=0000000000000\n") != NULL);
  usborva_free(lines);
  CHECK_STATUS(usborva_card_view(control, 0, NULL), USBORVA_E_NULL_POINTER);
  CHECK_STATUS(usborva_card_view(NULL, 0, &lines), USBORVA_E_BAD_HANDLE);
  CHECK_OK(usborva_host_destroy(host));
}

static void check_malformed(void) {
  usborva_host* host = NULL;
  usborva_control* control = NULL;
  char* lines = NULL;
  CHECK_OK(usborva_host_create(USBORVA_HOST_VIRTUAL_TIME, &host));
  CHECK_OK(usborva_host_use_scenario_text(
      host, "wait 10ms\nswipe track1 \"%B4111111111111111^4111111111111111^2812?\"\nwait 10ms\n",
      "malformed.scn"));
  CHECK_OK(usborva_control_create(host, &control));
  CHECK_OK(usborva_control_init_properties(control));
  CHECK_OK(usborva_put_bool(control, "PortOpen", 1));
  CHECK_OK(usborva_host_run_for(host, 100));
  CHECK_OK(usborva_card_view(control, 1, &lines));
  CHECK_TEXT(lines, "track1=1\ntrack2=0\nmalformed=1\n");
  CHECK_OK(usborva_host_destroy(host));
}

int main(void) {
  check_after_swipe();
  check_malformed();
  return check_report("card_view");
}
