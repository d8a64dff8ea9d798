/* SPDX-License-Identifier: Apache-2.0 */
/* Connection changes through the C interface: a terminal the configuration file refuses,
 * then one that is unplugged and plugged in again, on a simulated terminal in virtual
 * time. */
#include <stdint.h>
#include <string.h>

#include "check.h"
#include "usborva/usborva_c.h"

struct seen {
  int count;
  int32_t change[8];
  int32_t reason[8];
  uint16_t product_id[8];
  int path_known[8];
};

static void on_connection(void* user, usborva_control* control, int32_t change, int32_t reason,
                          uint16_t product_id, uint32_t error, const char* status,
                          const char* path) {
  struct seen* s = (struct seen*)user;
  (void)control;
  (void)error;
  CHECK(status != NULL && path != NULL);
  if (s->count >= 8) return;
  s->change[s->count] = change;
  s->reason[s->count] = reason;
  s->product_id[s->count] = product_id;
  s->path_known[s->count] = path != NULL && path[0] != '\0';
  ++s->count;
}

static const char kRefused[] = "config-file \"[Settings]\\nUseConfigFile=TRUE\\n\"\n";

static const char kStorm[] =
    "wait 100ms\n"
    "unplug\n"
    "wait 200ms\n"
    "plug\n"
    "wait 200ms\n";

int main(void) {
  struct seen s;
  usborva_host* host = NULL;
  usborva_control* control = NULL;
  int open = 0;
  memset(&s, 0, sizeof s);

  CHECK_OK(usborva_host_create(USBORVA_HOST_VIRTUAL_TIME, &host));
  CHECK_OK(usborva_host_use_scenario_text(host, kRefused, "refused"));
  CHECK_OK(usborva_control_create(host, &control));
  CHECK_OK(usborva_control_set_connection_handler(control, on_connection, &s));
  CHECK_OK(usborva_control_init_properties(control));
  CHECK_OK(usborva_put_bool(control, "PortOpen", 1));
  CHECK_OK(usborva_get_bool(control, "PortOpen", &open));
  CHECK(open == 0);
  CHECK(s.count == 1);
  CHECK(s.change[0] == USBORVA_CONNECTION_OPEN_FAILED);
  CHECK(s.reason[0] == USBORVA_OPEN_FAILURE_REFUSED_BY_CONFIG_FILE);
  CHECK_OK(usborva_host_destroy(host));

  memset(&s, 0, sizeof s);
  CHECK_OK(usborva_host_create(USBORVA_HOST_VIRTUAL_TIME, &host));
  CHECK_OK(usborva_host_use_scenario_text(host, kStorm, "storm"));
  CHECK_OK(usborva_control_create(host, &control));
  CHECK_OK(usborva_control_set_connection_handler(control, on_connection, &s));
  CHECK_OK(usborva_control_init_properties(control));
  CHECK_OK(usborva_put_bool(control, "PortOpen", 1));
  CHECK_OK(usborva_host_run_for(host, 1000));
  CHECK(s.count == 2);
  CHECK(s.change[0] == USBORVA_CONNECTION_LOST && s.reason[0] == USBORVA_OPEN_FAILURE_NONE);
  CHECK(s.change[1] == USBORVA_CONNECTION_RECONNECTED && s.product_id[1] == 0x4C21);
  CHECK(s.path_known[0] && s.path_known[1]);
  CHECK_OK(usborva_host_destroy(host));
  return check_report("connection_test");
}
