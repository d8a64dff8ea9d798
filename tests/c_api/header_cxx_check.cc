// SPDX-License-Identifier: Apache-2.0
// The C interface's header, compiled as C++ as a C++ host would include it.
#include "usborva/usborva_c.h"

static_assert(USBORVA_C_API_VERSION >= 1);

extern "C" int32_t usborva_header_cxx_check() { return usborva_api_version(); }
