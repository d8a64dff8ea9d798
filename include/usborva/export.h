// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_EXPORT_H_
#define USBORVA_EXPORT_H_

/// @file
/// Every public header includes this one first.

/// @mainpage USBORVA
/// A C++20 library that drives a USB HID payment terminal: usborva::USBORVA is the control
/// (its 37 properties, 15 methods and 7 events, as docs/api.md describes them for a host),
/// usborva::Host and usborva::EventLoop a standalone container for it, usborva::EventSink
/// the events, usborva::Variant and usborva::AutomationError the automation types, and
/// usborva::ParseCardView the structured card view. A host learns what happens to its
/// terminal from usborva::SurveyHidInterfaces (what discovery sees, and why), the connection
/// notices (usborva::HostOptions::on_connection) and the debug channel
/// (usborva::DiagnosticSink). usborva_c.h is the same control for C.
/// Everything runs on one thread, the control's, unless a declaration says otherwise.

/// @namespace usborva
/// The USBORVA control, its standalone host and the parts a host may use on their own
/// (automation types, conversions, card parsing, discovery).

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
