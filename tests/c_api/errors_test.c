/* SPDX-License-Identifier: Apache-2.0 */
/* Every way a call from C can fail: handles, names, types, pointers, refused puts,
 * conversions, the control's own errors, scenarios, threads, and the texts for them. */
#define _POSIX_C_SOURCE 200809L
#include <pthread.h>
#include <stdio.h>
#include <string.h>

#include "check.h"
#include "usborva/usborva_c.h"

static void check_handles(void) {
  usborva_host* host = NULL;
  usborva_control* control = NULL;
  usborva_value* value = NULL;
  int stranger = 0;
  int32_t length = 0;
  CHECK_STATUS(usborva_control_init_properties(NULL), USBORVA_E_BAD_HANDLE);
  CHECK_STATUS(usborva_host_run_for(NULL, 1), USBORVA_E_BAD_HANDLE);
  CHECK_STATUS(usborva_host_stop(NULL), USBORVA_E_BAD_HANDLE);
  CHECK_STATUS(usborva_value_set_long(NULL, 1), USBORVA_E_BAD_HANDLE);
  CHECK_STATUS(usborva_get_long((usborva_control*)&stranger, "Track1Length", &length),
               USBORVA_E_BAD_HANDLE);
  CHECK_STATUS(usborva_host_destroy((usborva_host*)&stranger), USBORVA_E_BAD_HANDLE);
  /* Destroyed handles are refused, including a control its host took down with it. */
  CHECK_OK(usborva_value_create(&value));
  CHECK_OK(usborva_value_destroy(value));
  CHECK_STATUS(usborva_value_set_long(value, 1), USBORVA_E_BAD_HANDLE);
  CHECK_OK(usborva_host_create(0, &host));
  CHECK_OK(usborva_control_create(host, &control));
  CHECK_OK(usborva_host_destroy(host));
  CHECK_STATUS(usborva_get_long(control, "Track1Length", &length), USBORVA_E_BAD_HANDLE);
  CHECK_STATUS(usborva_control_create(host, &control), USBORVA_E_BAD_HANDLE);
  CHECK_STATUS(usborva_host_create(0x80u, &host), USBORVA_E_INVALID_ARGUMENT);
  CHECK_STATUS(usborva_host_create(0, NULL), USBORVA_E_NULL_POINTER);
}

static void check_names_types_pointers(usborva_control* control) {
  char* text = NULL;
  int32_t number = 0;
  int32_t type = -1;
  const char* name = NULL;
  usborva_value* value = NULL;
  CHECK_STATUS(usborva_get_string(control, "NoSuchProperty", &text), USBORVA_E_BAD_NAME);
  CHECK_STATUS(usborva_get_string(control, "carddata", &text), USBORVA_E_BAD_NAME);
  CHECK_STATUS(usborva_get_string(control, NULL, &text), USBORVA_E_NULL_POINTER);
  CHECK_STATUS(usborva_get_string(control, "CardData", NULL), USBORVA_E_NULL_POINTER);
  CHECK_STATUS(usborva_put_string(control, "CardData", NULL), USBORVA_E_NULL_POINTER);
  CHECK_STATUS(usborva_get_long(control, "CardData", &number), USBORVA_E_WRONG_TYPE);
  CHECK_STATUS(usborva_put_string(control, "Track1Length", "5"), USBORVA_E_WRONG_TYPE);
  CHECK_STATUS(usborva_get_string(control, "SigilData", &text), USBORVA_E_WRONG_TYPE);
  CHECK_STATUS(usborva_put_byte(control, "PortOpen", 1), USBORVA_E_WRONG_TYPE);
  CHECK_OK(usborva_value_create(&value));
  CHECK_STATUS(usborva_get_value(control, "CardData", value), USBORVA_E_WRONG_TYPE);
  CHECK_STATUS(usborva_value_get_long(value, &number), USBORVA_E_WRONG_TYPE); /* Empty */
  CHECK_STATUS(usborva_value_get_string(value, NULL, NULL), USBORVA_E_NULL_POINTER);
  CHECK_OK(usborva_value_destroy(value));
  /* The member list a binding builds on. */
  CHECK(usborva_property_count() == 37);
  CHECK_OK(usborva_property_name(0, &name));
  CHECK(name != NULL && strcmp(name, "CardData") == 0);
  CHECK_OK(usborva_property_name(36, &name));
  CHECK(name != NULL && strcmp(name, "Firmware") == 0);
  CHECK_STATUS(usborva_property_name(37, &name), USBORVA_E_INVALID_ARGUMENT);
  CHECK_OK(usborva_property_type("SessionID", &type));
  CHECK(type == USBORVA_TYPE_VARIANT);
  CHECK_OK(usborva_property_type("DeviceState", &type));
  CHECK(type == USBORVA_TYPE_BYTE);
  CHECK_STATUS(usborva_property_type("Nope", &type), USBORVA_E_BAD_NAME);
}

/* Every read-only property refuses with 382 at run time and 387 at design time, and keeps
 * its value. */
static void check_refused_puts(usborva_host* host, usborva_control* control, int32_t refusal) {
  int32_t i;
  int32_t count = usborva_property_count();
  char* text = NULL;
  usborva_value* value = NULL;
  CHECK_OK(usborva_value_create(&value));
  CHECK_OK(usborva_value_set_string(value, "x", (size_t)-1));
  for (i = 0; i < count; ++i) {
    const char* name = NULL;
    int32_t type = -1;
    int32_t status;
    CHECK_OK(usborva_property_name(i, &name));
    CHECK_OK(usborva_property_type(name, &type));
    if (type == USBORVA_TYPE_STRING) {
      status = usborva_put_string(control, name, "x");
    } else if (type == USBORVA_TYPE_LONG) {
      status = usborva_put_long(control, name, 9);
    } else if (type == USBORVA_TYPE_BYTE) {
      status = usborva_put_byte(control, name, 9);
    } else if (type == USBORVA_TYPE_VARIANT) {
      status = usborva_put_value(control, name, value);
    } else {
      continue; /* PortOpen: below */
    }
    CHECK(status == USBORVA_OK || status == refusal);
  }
  CHECK_STATUS(usborva_put_string(control, "Firmware", "9.9"), refusal);
  CHECK_OK(usborva_get_string(control, "Firmware", &text));
  CHECK_TEXT(text, "");
  CHECK_STATUS(usborva_put_long(control, "SigilLen", 4), refusal);
  CHECK_STATUS(usborva_put_byte(control, "DeviceState", 4), refusal);
  CHECK_OK(usborva_last_error_description(host, &text));
  CHECK_TEXT(text, usborva_error_text(refusal));
  CHECK_OK(usborva_put_long(control, "Track3Length", 9)); /* stored puts still work */
  CHECK_OK(usborva_value_destroy(value));
}

static void check_conversions(usborva_control* control) {
  usborva_value* value = NULL;
  char* text = NULL;
  CHECK_OK(usborva_value_create(&value));
  CHECK_OK(usborva_value_set_null(value));
  CHECK_STATUS(usborva_put_value(control, "SigilData", value), 94);
  CHECK_STATUS(usborva_put_value(control, "SessionID", value), 94);
  CHECK_OK(usborva_value_set_long(value, 5));
  CHECK_STATUS(usborva_put_value(control, "SessionID", value), 13);
  CHECK_OK(usborva_value_set_null(value));
  CHECK_STATUS(usborva_get_def_setting(control, "Key", value, &text), 94);
  CHECK_STATUS(usborva_put_value(control, "SigilData", NULL), USBORVA_E_BAD_HANDLE);
  CHECK_OK(usborva_value_destroy(value));
}

/* InterpretMsg raises its errors; with no terminal ever opened the buffer holds nothing. */
static void check_interpret_msg(usborva_control* control) {
  int result = 0;
  CHECK_STATUS(usborva_interpret_msg(control, "ZZ", &result), 13);
  CHECK_STATUS(usborva_interpret_msg(control, "0E", &result), 9);
  CHECK_OK(usborva_interpret_msg(control, "", &result));
  CHECK(result == 1);
}

static void check_scenarios_and_bags(usborva_control* control) {
  usborva_host* host = NULL;
  char* text = NULL;
  CHECK_OK(usborva_host_create(USBORVA_HOST_VIRTUAL_TIME, &host));
  CHECK_STATUS(usborva_host_use_scenario_text(host, "wait 10ms\nno-such-step 1\n", "lane.scn"),
               USBORVA_E_SCENARIO);
  CHECK_OK(usborva_last_error_description(host, &text));
  CHECK(text != NULL && strstr(text, "lane.scn:2") != NULL);
  usborva_free(text);
  CHECK_STATUS(usborva_host_use_scenario_file(host, "/nonexistent/lane.scn"), USBORVA_E_SCENARIO);
  CHECK_OK(usborva_host_use_scenario_text(host, "wait 10ms\n", NULL));
  CHECK_STATUS(usborva_host_use_scenario_text(host, "wait 10ms\n", NULL), USBORVA_E_INVALID_STATE);
  CHECK_STATUS(usborva_host_run_for(host, -1), USBORVA_E_INVALID_ARGUMENT);
  CHECK_OK(usborva_host_destroy(host));
  CHECK_STATUS(usborva_control_load_bag(control, "/nonexistent/form.bag"), 53);
}

static void check_texts(void) {
  CHECK(strcmp(usborva_error_text(387), "Set not permitted") == 0);
  CHECK(strcmp(usborva_error_text(0), "No error") == 0);
  CHECK(strcmp(usborva_error_text(USBORVA_E_BAD_HANDLE), "Invalid handle") == 0);
  CHECK(strcmp(usborva_error_text(-1000), "Internal error") == 0);
  CHECK(usborva_error_text(12345) != NULL);
  CHECK(usborva_api_version() == USBORVA_C_API_VERSION);
  usborva_free(NULL);
}

struct thread_probe {
  usborva_host* host;
  int32_t run_status;
  int32_t stop_status;
};

static void* from_another_thread(void* arg) {
  struct thread_probe* probe = (struct thread_probe*)arg;
  probe->run_status = usborva_host_run_for(probe->host, 1);
  probe->stop_status = usborva_host_stop(probe->host);
  return NULL;
}

static void check_threads(usborva_host* host) {
  pthread_t thread;
  struct thread_probe probe;
  probe.host = host;
  probe.run_status = 0;
  probe.stop_status = -100;
  if (pthread_create(&thread, NULL, from_another_thread, &probe) != 0) return;
  pthread_join(thread, NULL);
  CHECK(probe.run_status == USBORVA_E_WRONG_THREAD);
  CHECK(probe.stop_status == USBORVA_OK);
}

static void check_host(uint32_t flags, int32_t refusal) {
  usborva_host* host = NULL;
  usborva_control* control = NULL;
  int open = 1;
  CHECK_OK(usborva_host_create(flags, &host));
  CHECK_OK(usborva_control_create(host, &control));
  CHECK_OK(usborva_control_init_properties(control));
  check_refused_puts(host, control, refusal);
  if (refusal == 387) {
    CHECK_STATUS(usborva_put_bool(control, "PortOpen", 1), 387);
    CHECK_OK(usborva_get_bool(control, "PortOpen", &open));
    CHECK(open == 0);
    /* The same control in a running host refuses with 382 instead. */
    CHECK_OK(usborva_host_set_user_mode(host, 1));
    CHECK_STATUS(usborva_put_string(control, "Firmware", "1"), 382);
  }
  check_names_types_pointers(control);
  check_conversions(control);
  check_interpret_msg(control);
  check_scenarios_and_bags(control);
  check_threads(host);
  CHECK_OK(usborva_control_destroy(control));
  CHECK_STATUS(usborva_control_destroy(control), USBORVA_E_BAD_HANDLE);
  CHECK_OK(usborva_host_destroy(host));
}

int main(void) {
  check_handles();
  check_texts();
  check_host(0, 382);
  check_host(USBORVA_HOST_DESIGN_MODE, 387);
  return check_report("errors");
}
