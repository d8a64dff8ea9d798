/* SPDX-License-Identifier: Apache-2.0 */
/* A whole session from C on the simulated terminal: open, the swipe's events, the
 * properties and methods a point-of-sale program uses, saving and loading, close. */
#define _POSIX_C_SOURCE 200809L
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "check.h"
#include "usborva/usborva_c.h"

#define MAX_EVENTS 32

struct event_record {
  int32_t id;
  uint8_t args[3];
  size_t arg_count;
};

struct session {
  struct event_record events[MAX_EVENTS];
  size_t event_count;
  char ksn_at_card[64]; /* DUKPTKSN read from inside the CardDataChanged handler */
  int32_t busy_destroy; /* what destroying the control from a handler returned */
  int changes_track1;   /* property-change notices for Track1Length */
  int about_shown;
};

static void on_event(void* user, usborva_control* control, int32_t id, const uint8_t* args,
                     size_t arg_count, const char* ksn, const char* epb) {
  struct session* s = (struct session*)user;
  (void)ksn;
  (void)epb;
  if (s->event_count < MAX_EVENTS) {
    struct event_record* r = &s->events[s->event_count++];
    r->id = id;
    r->arg_count = arg_count;
    if (arg_count > 0 && arg_count <= 3) memcpy(r->args, args, arg_count);
  }
  if (id == USBORVA_EVENT_CARD_DATA_CHANGED) {
    char* ksn_text = NULL;
    if (usborva_get_string(control, "DUKPTKSN", &ksn_text) == USBORVA_OK) {
      snprintf(s->ksn_at_card, sizeof s->ksn_at_card, "%s", ksn_text);
    }
    usborva_free(ksn_text);
    s->busy_destroy = usborva_control_destroy(control);
  }
}

static void on_change(void* user, usborva_control* control, const char* name) {
  (void)control;
  if (strcmp(name, "Track1Length") == 0) ++((struct session*)user)->changes_track1;
}

static void on_message(void* user, const char* text) {
  if (strstr(text, "USBORVA") != NULL) ((struct session*)user)->about_shown = 1;
}

static int card_seen(void* user) {
  const struct session* s = (const struct session*)user;
  size_t i;
  for (i = 0; i < s->event_count; ++i) {
    if (s->events[i].id == USBORVA_EVENT_CARD_DATA_CHANGED) return 1;
  }
  return 0;
}

/* The index of the first event with id and these arguments at or after from, or -1. */
static int find_event(const struct session* s, size_t from, int32_t id, const uint8_t* args,
                      size_t arg_count) {
  size_t i;
  for (i = from; i < s->event_count; ++i) {
    if (s->events[i].id == id && s->events[i].arg_count == arg_count &&
        (arg_count == 0 || memcmp(s->events[i].args, args, arg_count) == 0)) {
      return (int)i;
    }
  }
  return -1;
}

static void check_events(const struct session* s) {
  static const uint8_t ready[] = {1, 0, 0};
  static const uint8_t card[] = {0, 1, 1};
  static const uint8_t idle[] = {0, 0, 0};
  int first = find_event(s, 0, USBORVA_EVENT_DEVICE_STATUS_CHANGED, ready, 3);
  int status =
      first < 0 ? -1 : find_event(s, (size_t)first, USBORVA_EVENT_CARD_STATUS_CHANGED, card, 3);
  int data =
      status < 0 ? -1 : find_event(s, (size_t)status, USBORVA_EVENT_CARD_DATA_CHANGED, NULL, 0);
  int last =
      data < 0 ? -1 : find_event(s, (size_t)data, USBORVA_EVENT_DEVICE_STATUS_CHANGED, idle, 3);
  CHECK(first >= 0);
  CHECK(status > first);
  CHECK(data > status);
  CHECK(last > data);
  CHECK(strcmp(s->ksn_at_card, "FFFF9876543210E00007") == 0);
  CHECK(s->busy_destroy == USBORVA_E_BUSY);
}

static void check_identity(usborva_control* control) {
  char* text = NULL;
  int open = 0;
  CHECK_OK(usborva_get_bool(control, "PortOpen", &open));
  CHECK(open == 1);
  CHECK_OK(usborva_get_string(control, "UsbProduct", &text));
  CHECK_TEXT(text, "USB Payment Terminal");
  CHECK_OK(usborva_get_string(control, "DeviceSerialNum", &text));
  CHECK_TEXT(text, "SIM00001");
}

/* A terminal choice no terminal meets leaves the port closed; clearing it opens again. */
static void check_terminal_choice(usborva_control* control) {
  int open = 1;
  CHECK_OK(usborva_control_set_terminal_choice(control, NULL, "NOT-SIM00001"));
  CHECK_OK(usborva_put_bool(control, "PortOpen", 1));
  CHECK_OK(usborva_get_bool(control, "PortOpen", &open));
  CHECK(open == 0);
  CHECK_OK(usborva_control_set_terminal_choice(control, "", "SIM00001"));
  CHECK_OK(usborva_put_bool(control, "PortOpen", 1));
  CHECK_OK(usborva_get_bool(control, "PortOpen", &open));
  CHECK(open == 1);
  CHECK_OK(usborva_control_set_terminal_choice(control, NULL, NULL));
  CHECK_OK(usborva_put_bool(control, "PortOpen", 0));
  CHECK(usborva_control_set_terminal_choice(NULL, NULL, NULL) == USBORVA_E_BAD_HANDLE);
}

/* The card-parsing methods on card data the program puts. */
static void check_card_parsing(usborva_control* control) {
  char* text = NULL;
  int16_t track = 0;
  usborva_value* direction = NULL;
  int32_t type = -1;
  int back = 0;
  CHECK_OK(usborva_put_string(control, "CardData",
                              "%B4111111111111111^PUBLIC/JOHN Q^2812101000000000000000?"
                              ";4111111111111111=28121010000000000000?"));
  CHECK_OK(usborva_get_track(control, &track, &text));
  CHECK(track == 0); /* track 0 is the whole text */
  CHECK_TEXT(text,
             "%B4111111111111111^PUBLIC/JOHN Q^2812101000000000000000?"
             ";4111111111111111=28121010000000000000?");
  CHECK_OK(usborva_get_fname(control, &text));
  CHECK_TEXT(text, "JOHN Q");
  CHECK_OK(usborva_get_lname(control, &text));
  CHECK_TEXT(text, "PUBLIC");
  /* A left-out direction: "?" searches backward from the first "?", and the chosen
   * direction comes back. */
  CHECK_OK(usborva_value_create(&direction));
  CHECK_OK(usborva_value_set_missing(direction));
  CHECK_OK(usborva_find_element(control, 0, "?", 0, "4", direction, &text));
  CHECK_TEXT(text, "0000");
  CHECK_OK(usborva_value_type(direction, &type));
  CHECK(type == USBORVA_TYPE_BOOLEAN);
  CHECK_OK(usborva_value_get_bool(direction, &back));
  CHECK(back == 1);
  /* A given direction is used as passed: forward from "=" gives the expiry date. */
  CHECK_OK(usborva_value_set_bool(direction, 0));
  CHECK_OK(usborva_find_element(control, 0, "=", 0, "4", direction, &text));
  CHECK_TEXT(text, "2812");
  CHECK_OK(usborva_find_element(control, 0, "=", 0, "4", NULL, &text));
  CHECK_TEXT(text, "2812");
  CHECK_OK(usborva_value_destroy(direction));
}

static void check_variant_properties(usborva_control* control) {
  usborva_value* value = NULL;
  char* text = NULL;
  uint8_t* bytes = NULL;
  size_t length = 0;
  int32_t type = -1;
  static const uint8_t ab_utf16[] = {0x61, 0x00, 0x62, 0x00};
  CHECK_OK(usborva_value_create(&value));
  CHECK_OK(usborva_value_set_double(value, 1.5));
  CHECK_OK(usborva_put_value(control, "SigilData", value));
  CHECK_OK(usborva_get_value(control, "SigilData", value));
  CHECK_OK(usborva_value_type(value, &type));
  CHECK(type == USBORVA_TYPE_STRING);
  CHECK_OK(usborva_value_get_string(value, &text, &length));
  CHECK(length == 3);
  CHECK_TEXT(text, "1.5");
  CHECK_OK(usborva_value_set_string(value, "ab", (size_t)-1));
  CHECK_OK(usborva_put_value(control, "SessionID", value));
  CHECK_OK(usborva_get_value(control, "SessionID", value));
  CHECK_OK(usborva_value_get_bytes(value, &bytes, &length));
  CHECK(length == 4 && memcmp(bytes, ab_utf16, 4) == 0);
  usborva_free(bytes);
  CHECK_OK(usborva_value_destroy(value));
}

/* Feature reports while the port is open, and the message buffer. */
static void check_feature_reports(usborva_control* control) {
  usborva_value* output = NULL;
  char* text = NULL;
  char* swipe_output = NULL;
  int32_t result = -1;
  int interpreted = 0;
  CHECK_OK(usborva_value_create(&output));
  CHECK_OK(usborva_set_feature_report(control, "09", output, &result));
  CHECK(result == 1);
  CHECK_OK(usborva_value_get_string(output, &text, NULL));
  CHECK(text != NULL && strncmp(text, "09 00", 5) == 0);
  CHECK_OK(usborva_get_string(control, "SwipeCommandOutput", &swipe_output));
  CHECK(text != NULL && swipe_output != NULL && strcmp(text, swipe_output) == 0);
  usborva_free(text);
  usborva_free(swipe_output);
  CHECK_OK(usborva_interpret_msg(control, "0E 10", &interpreted));
  CHECK(interpreted == 1);
  CHECK_OK(usborva_value_destroy(output));
}

/* After the close the exchange fails and the caller's value stays. */
static void check_closed_port(usborva_control* control) {
  usborva_value* output = NULL;
  char* text = NULL;
  int32_t result = -1;
  int open = 1;
  CHECK_OK(usborva_put_bool(control, "PortOpen", 0));
  CHECK_OK(usborva_get_bool(control, "PortOpen", &open));
  CHECK(open == 0);
  CHECK_OK(usborva_value_create(&output));
  CHECK_OK(usborva_value_set_string(output, "kept", (size_t)-1));
  CHECK_OK(usborva_get_feature_report(control, "09", output, &result));
  CHECK(result == 0);
  CHECK_OK(usborva_value_get_string(output, &text, NULL));
  CHECK_TEXT(text, "kept");
  CHECK_OK(usborva_value_destroy(output));
}

static void check_settings_and_about(usborva_control* control, struct session* s) {
  usborva_value* fallback = NULL;
  char* text = NULL;
  CHECK_OK(usborva_value_create(&fallback));
  CHECK_OK(usborva_value_set_long(fallback, 7));
  CHECK_OK(usborva_get_def_setting(control, "Lane", fallback, &text));
  CHECK_TEXT(text, "7");
  CHECK_OK(usborva_save_def_setting(control, "Lane", "3 \xC3\xA9", &text));
  CHECK_TEXT(text, "");
  CHECK_OK(usborva_get_def_setting(control, "Lane", NULL, &text));
  CHECK_TEXT(text, "3 \xC3\xA9");
  CHECK_OK(usborva_about(control, NULL));
  CHECK(s->about_shown == 1);
  CHECK_OK(usborva_value_destroy(fallback));
}

/* A stored put notifies the container; ClearBuffer resets what it owns. */
static void check_puts_and_clear(usborva_control* control, struct session* s) {
  int32_t length = 0;
  int16_t cleared = -1;
  int dirty = 0;
  char* text = NULL;
  CHECK_OK(usborva_control_mark_clean(control));
  CHECK_OK(usborva_put_long(control, "Track1Length", -5));
  CHECK_OK(usborva_get_long(control, "Track1Length", &length));
  CHECK(length == -5);
  CHECK(s->changes_track1 == 1);
  CHECK_OK(usborva_control_dirty(control, &dirty));
  CHECK(dirty == 1);
  CHECK_OK(usborva_clear_buffer(control, &cleared));
  CHECK(cleared == 0);
  CHECK_OK(usborva_get_string(control, "CardData", &text));
  CHECK_TEXT(text, "");
  CHECK_OK(usborva_get_long(control, "Track1Length", &length));
  CHECK(length == 0);
}

/* Saved by one control, loaded by another. */
static void check_bag(usborva_host* host, usborva_control* control, const char* folder) {
  char path[512];
  usborva_control* second = NULL;
  int32_t length = 0;
  char* text = NULL;
  snprintf(path, sizeof path, "%s/form.bag", folder);
  CHECK_OK(usborva_put_long(control, "Track2Length", 77));
  CHECK_OK(usborva_put_string(control, "CardDataMasked", "%B4111********1111^PUBLIC/JOHN Q^?"));
  CHECK_OK(usborva_control_save_bag(control, path));
  CHECK_OK(usborva_control_create(host, &second));
  CHECK_OK(usborva_control_load_bag(second, path));
  CHECK_OK(usborva_get_long(second, "Track2Length", &length));
  CHECK(length == 77);
  CHECK_OK(usborva_get_string(second, "CardDataMasked", &text));
  CHECK_TEXT(text, "%B4111********1111^PUBLIC/JOHN Q^?");
  CHECK_OK(usborva_control_destroy(second));
  unlink(path);
}

int main(void) {
  struct session s;
  usborva_host* host = NULL;
  usborva_control* control = NULL;
  char folder[] = "/tmp/usborva_c_session_XXXXXX";
  int met = 0;
  int finished = 0;
  memset(&s, 0, sizeof s);
  if (mkdtemp(folder) == NULL) return 2;

  CHECK_OK(usborva_host_create(USBORVA_HOST_VIRTUAL_TIME, &host));
  CHECK_OK(usborva_host_set_settings_root(host, folder));
  CHECK_OK(usborva_host_set_message_handler(host, on_message, &s));
  CHECK_OK(usborva_host_use_scenario_file(host, USBORVA_EXAMPLES_DIR "/normal_swipe.scn"));
  CHECK_OK(usborva_control_create(host, &control));
  CHECK_OK(usborva_control_set_event_handler(control, on_event, &s));
  CHECK_OK(usborva_control_set_property_changed_handler(control, on_change, &s));
  CHECK_OK(usborva_control_init_properties(control));
  CHECK_OK(usborva_put_bool(control, "PortOpen", 1));
  check_identity(control);

  CHECK_OK(usborva_host_run_until(host, card_seen, &s, 10000, &met));
  CHECK(met == 1);
  CHECK_OK(usborva_host_run_for(host, 3000));
  CHECK_OK(usborva_host_scenario_finished(host, &finished));
  CHECK(finished == 1);
  check_events(&s);

  check_card_parsing(control);
  check_variant_properties(control);
  check_feature_reports(control);
  check_closed_port(control);
  check_terminal_choice(control);
  check_settings_and_about(control, &s);
  check_puts_and_clear(control, &s);
  check_bag(host, control, folder);

  CHECK_OK(usborva_control_destroy(control));
  CHECK_OK(usborva_host_destroy(host));
  {
    char command[600];
    snprintf(command, sizeof command, "rm -rf '%s'", folder);
    if (system(command) != 0) return 2;
  }
  return check_report("session");
}
