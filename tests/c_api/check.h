/* SPDX-License-Identifier: Apache-2.0 */
/* Checks for the C tests: a failed check prints where and why and the program fails at
 * the end, so one run shows every failure. */
#ifndef USBORVA_TESTS_C_API_CHECK_H_
#define USBORVA_TESTS_C_API_CHECK_H_

#include <stdio.h>
#include <string.h>

#include "usborva/usborva_c.h"

static int check_failures = 0;

#define CHECK(cond)                                                      \
  do {                                                                   \
    if (!(cond)) {                                                       \
      fprintf(stderr, "%s:%d: failed: %s\n", __FILE__, __LINE__, #cond); \
      ++check_failures;                                                  \
    }                                                                    \
  } while (0)

/* A call's status equals expected. */
#define CHECK_STATUS(call, expected)                                                      \
  do {                                                                                    \
    int32_t check_status_ = (call);                                                       \
    if (check_status_ != (expected)) {                                                    \
      fprintf(stderr, "%s:%d: %s gave %d (%s), expected %d\n", __FILE__, __LINE__, #call, \
              (int)check_status_, usborva_error_text(check_status_), (int)(expected));    \
      ++check_failures;                                                                   \
    }                                                                                     \
  } while (0)

#define CHECK_OK(call) CHECK_STATUS(call, USBORVA_OK)

/* text equals expected, then text is freed. */
#define CHECK_TEXT(text, expected)                                                 \
  do {                                                                             \
    char* check_text_ = (text);                                                    \
    if (check_text_ == NULL || strcmp(check_text_, (expected)) != 0) {             \
      fprintf(stderr, "%s:%d: text \"%s\", expected \"%s\"\n", __FILE__, __LINE__, \
              check_text_ != NULL ? check_text_ : "(null)", (expected));           \
      ++check_failures;                                                            \
    }                                                                              \
    usborva_free(check_text_);                                                     \
  } while (0)

static int check_report(const char* name) {
  if (check_failures != 0) {
    fprintf(stderr, "%s: %d check(s) failed\n", name, check_failures);
    return 1;
  }
  printf("%s: all checks passed\n", name);
  return 0;
}

#endif /* USBORVA_TESTS_C_API_CHECK_H_ */
