// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_EXPORT_H_
#define USBORVA_EXPORT_H_

/// @file
/// Every public header includes this one first.

/// @namespace usborva
/// The USBORVA control, its standalone host and the parts a host may use on their own
/// (automation types, conversions, card parsing, discovery). Everything runs on one thread,
/// the one that uses the control, unless a declaration says otherwise.

#if !defined(__cplusplus) || \
    (__cplusplus < 202002L && !(defined(_MSVC_LANG) && _MSVC_LANG >= 202002L))
#error \
    "USBORVA's C++ headers need C++20: compile with -std=c++20 (pkg-config --cflags usborva says so)"
#endif

/// USBORVA_EXPORT marks what the shared library exports: the public interface and nothing
/// else. The library is built with hidden visibility, so its internals stay its own.
#if defined(_WIN32)
#define USBORVA_EXPORT
#elif defined(__GNUC__)
#define USBORVA_EXPORT __attribute__((visibility("default")))
#else
#define USBORVA_EXPORT
#endif

#endif  // USBORVA_EXPORT_H_
