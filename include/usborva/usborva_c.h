/* SPDX-License-Identifier: Apache-2.0 */
/** @file
 * The USBORVA control for programs in any language: a plain C interface (C99, and usable
 * from C++) over the same control a C++ host drives through usborva.h. It exposes the
 * control's behaviour unchanged: every property, method and event, with the same error
 * numbers.
 *
 * Conventions (they hold for every function below unless its comment says otherwise):
 *
 *  - Status. Every function returns an int32_t status: USBORVA_OK (0) on success; a
 *    positive automation error number when the control (or its container) raises one, as
 *    the C++ interface throws it (13 type mismatch, 382 set not supported at run time,
 *    387 set not permitted, 53, 75, 380 ...); or one of the negative USBORVA_E_* codes for
 *    failures of the interface itself. usborva_error_text() gives the standard text of
 *    any status, and usborva_last_error_description() the full description of the last
 *    failure on a host. Results are written through out-parameters, and only on success.
 *
 *  - Handles. usborva_host, usborva_control and usborva_value are opaque. A handle that
 *    is NULL, already destroyed or never made by this library is refused with
 *    USBORVA_E_BAD_HANDLE; nothing behind it is touched.
 *
 *  - Text. Every text in and out is UTF-8 and NUL-terminated. Text the library returns
 *    (char** out-parameters) is allocated for the caller and must be released with
 *    usborva_free(), which also overwrites it, since it may be card data. Invalid UTF-8
 *    on input, and lone UTF-16 surrogates in the control's text on output, become U+FFFD.
 *    A NUL inside the control's text cannot pass a NUL-terminated string; use the
 *    Variant properties' usborva_value, whose text carries its length, where it matters.
 *
 *  - Threads. A host, its controls, and the values used with them belong to the thread
 *    that created the host: a call from any other thread fails with
 *    USBORVA_E_WRONG_THREAD, except usborva_host_stop(). Callbacks run on that thread,
 *    from inside the calls that run the loop, and may call back into this interface.
 *    The terminal's connection is kept per thread, as in every host of the control: one
 *    control with an open port per thread.
 *
 *  - Callbacks must return normally: no C++ exception and no longjmp may cross them.
 *
 *  - ABI. No structure crosses the interface: options are flags and setter calls, and the
 *    Variant values are opaque with accessor functions, so the layout of nothing a caller
 *    compiles against can change. New functions are only ever added; the library's soname
 *    changes when anything here changes incompatibly. USBORVA_C_API_VERSION is the
 *    version of this header; usborva_api_version() the library's.
 *
 * Properties are reached by member name with one function per type class
 * (usborva_get_string, usborva_get_long, ...). The control has 37 properties of only five
 * types, so five get/put pairs cover them all, a binding can list and type them at run
 * time (usborva_property_count/name/type), and a wrong-type access is caught and reported
 * rather than converted behind the caller's back. Typed functions keep the C caller's
 * code free of tagged unions for the 35 properties that are plain numbers and texts; the
 * two Variant properties (SigilData, SessionID), and the Variant parameters of the
 * methods, use the opaque usborva_value.
 */
#ifndef USBORVA_USBORVA_C_H_
#define USBORVA_USBORVA_C_H_

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/** Marks what the shared library exports: this interface, built with hidden visibility
 * otherwise. */
#if defined(__GNUC__) && !defined(_WIN32)
#define USBORVA_C_EXPORT __attribute__((visibility("default")))
#else
#define USBORVA_C_EXPORT
#endif

/** The version of this interface; usborva_api_version() returns the library's. */
#define USBORVA_C_API_VERSION 1

/* ------------------------------------------------------------------ statuses */

/** Success. */
#define USBORVA_OK 0
/** The handle is NULL, destroyed, or not one of this library's. */
#define USBORVA_E_BAD_HANDLE (-1)
/** No property of the control has this name (names are spelled exactly as the members). */
#define USBORVA_E_BAD_NAME (-2)
/** The property or value is of another type than the function handles. */
#define USBORVA_E_WRONG_TYPE (-3)
/** A required pointer argument is NULL. */
#define USBORVA_E_NULL_POINTER (-4)
/** Memory ran out; nothing was changed that the call did not report. */
#define USBORVA_E_NO_MEMORY (-5)
/** An unexpected failure inside the library; the description says what. */
#define USBORVA_E_INTERNAL (-6)
/** Called from a thread other than the one that created the host. */
#define USBORVA_E_WRONG_THREAD (-7)
/** Refused while the host is inside one of its own calls (for example destroying a
 * control or a host from an event callback). */
#define USBORVA_E_BUSY (-8)
/** An argument is out of its range (unknown flag bits, a negative time). */
#define USBORVA_E_INVALID_ARGUMENT (-9)
/** A scenario that cannot be read; the description gives source, line and column. */
#define USBORVA_E_SCENARIO (-10)
/** The call does not fit the object's state (a second scenario for a host). */
#define USBORVA_E_INVALID_STATE (-11)

/* ------------------------------------------------------------------ types */

/** A host: the control's container, with its event loop (usborva_host_create). */
typedef struct usborva_host usborva_host;
/** A control of a host (usborva_control_create). */
typedef struct usborva_control usborva_control;
/** A Variant value (usborva_value_create). */
typedef struct usborva_value usborva_value;

/**@{*/
/** Type tags: of a usborva_value (USBORVA_TYPE_EMPTY .. USBORVA_TYPE_BYTES), and of a
 * property (USBORVA_TYPE_STRING, _LONG, _BYTE, _BOOLEAN or _VARIANT). */
#define USBORVA_TYPE_EMPTY 0
#define USBORVA_TYPE_NULL 1
#define USBORVA_TYPE_INTEGER 2 /**< 16-bit signed */
#define USBORVA_TYPE_LONG 3    /**< 32-bit signed */
#define USBORVA_TYPE_BYTE 4    /**< 8-bit unsigned */
#define USBORVA_TYPE_BOOLEAN 5
#define USBORVA_TYPE_DOUBLE 6
#define USBORVA_TYPE_STRING 7
/**@}*/
#define USBORVA_TYPE_BYTES 8   /**< a byte array */
#define USBORVA_TYPE_VARIANT 9 /**< properties only: takes and gives a usborva_value */
/** An optional argument left out, for a by-reference parameter whose caller wants to see
 * what the control writes back into a left-out argument (FindElement's DirectionBack). */
#define USBORVA_TYPE_MISSING 10

/**@{*/
/** The control's events, by dispatch identifier. */
#define USBORVA_EVENT_CARD_DATA_CHANGED 1
#define USBORVA_EVENT_CARD_DATA_ERROR 2
#define USBORVA_EVENT_DEVICE_STATUS_CHANGED 3
#define USBORVA_EVENT_CARD_STATUS_CHANGED 4
#define USBORVA_EVENT_PIN_RESPONSE 5
#define USBORVA_EVENT_SELECT_RESPONSE 6
#define USBORVA_EVENT_DISPLAY_DONE 7
/**@}*/

/** An event of a control. args holds the event's Byte arguments in order (none for 1 and
 * 2; DeviceState, SessionStatus, DeviceStatus for 3; OpStatus, CardStatus, CardType for
 * 4; OpStatus for 5; OpStatus, KeyPressed for 6; DisplayStatus for 7), arg_count their
 * number. For event 5 (PINResponse) ksn and epb are the KSN and EPB texts; for every other
 * event they are NULL. args, ksn and epb are valid only during the call and are
 * overwritten after it. The handler may call any function of this interface except the
 * destroy functions of this host and its controls. */
typedef void (*usborva_event_handler)(void* user, usborva_control* control, int32_t event_id,
                                      const uint8_t* args, size_t arg_count, const char* ksn,
                                      const char* epb);

/** The control told its container that the named property changed (the container marks
 * its saved state dirty). name is valid only during the call. */
typedef void (*usborva_property_changed_handler)(void* user, usborva_control* control,
                                                 const char* name);

/** The control shows a modal message box with text (About does); the box is closed when
 * the handler returns. text is valid only during the call. */
typedef void (*usborva_message_handler)(void* user, const char* text);

/**@{*/
/** Connection changes of a control (docs/diagnostics.md): the port could not open (with a
 * USBORVA_OPEN_FAILURE_* reason), the terminal was lost (with the read's last error) or is
 * back (with its product ID), polling went idle (with the transport's status text). */
#define USBORVA_CONNECTION_OPEN_FAILED 1
#define USBORVA_CONNECTION_LOST 2
#define USBORVA_CONNECTION_RECONNECTED 3
#define USBORVA_CONNECTION_IDLE 4
/**@}*/

/**@{*/
/** Why the port could not open (the reason of USBORVA_CONNECTION_OPEN_FAILED), as
 * usborva::OpenFailure names them; 0 for the other changes. */
#define USBORVA_OPEN_FAILURE_NONE 0
#define USBORVA_OPEN_FAILURE_NO_TERMINAL 1
#define USBORVA_OPEN_FAILURE_REFUSED_BY_MATCHING_RULES 2
#define USBORVA_OPEN_FAILURE_REFUSED_BY_CONFIG_FILE 3
#define USBORVA_OPEN_FAILURE_PERMISSION_DENIED 4
#define USBORVA_OPEN_FAILURE_EVENT_CREATION_FAILED 5
#define USBORVA_OPEN_FAILURE_DEVICE_FAILED 6
/**@}*/

/** A connection change of a control. reason is a USBORVA_OPEN_FAILURE_* for
 * USBORVA_CONNECTION_OPEN_FAILED, else 0; product_id is set for RECONNECTED (and for a
 * PERMISSION_DENIED open failure); error for LOST; status (never NULL; "" unless IDLE) and
 * path (never NULL; "" when unknown) are valid only during the call. No card data. The
 * handler may call any function of this interface except the destroy functions of this
 * host and its controls. */
typedef void (*usborva_connection_handler)(void* user, usborva_control* control, int32_t change,
                                           int32_t reason, uint16_t product_id, uint32_t error,
                                           const char* status, const char* path);

/** A condition for usborva_host_run_until: non-zero ends the run. */
typedef int (*usborva_condition)(void* user);

/* ------------------------------------------------------------------ general */

/** The interface version the library implements (USBORVA_C_API_VERSION of its build).
 * Needs no handle and never fails. */
USBORVA_C_EXPORT int32_t usborva_api_version(void);

/** The standard text for a status: the automation runtime's text for a positive error
 * number ("Set not permitted" for 387), this interface's own for the negative codes,
 * "No error" for 0. Static storage: never NULL, never freed. Any thread. */
USBORVA_C_EXPORT const char* usborva_error_text(int32_t status);

/** Overwrites and releases a text or byte array this library returned. NULL is ignored.
 * Any thread. Passing anything else is undefined, as with free(). */
USBORVA_C_EXPORT void usborva_free(void* memory);

/* ------------------------------------------------------------------ hosts */

/** A design-time host (a form designer): the control refuses port and read-only puts with
 * 387 instead of 382. */
#define USBORVA_HOST_DESIGN_MODE 0x1u
/** The host's loop runs on a virtual clock: every wait of the loop passes at once, so a
 * scenario of minutes plays in no real time (rehearsals and tests). Leave it off with a
 * real terminal. */
#define USBORVA_HOST_VIRTUAL_TIME 0x2u
/** Saved property bags keep the clear card data (CardData, Track1Data to Track3Data). Off by
 * default: full track data must not be kept after a card is authorised. */
#define USBORVA_HOST_PERSIST_CARD_DATA 0x4u

/** Creates a host on the calling thread: the container of controls, with its own loop.
 * flags: USBORVA_HOST_* bits or 0 (a run-time host on the real clock); unknown bits give
 * USBORVA_E_INVALID_ARGUMENT. *out receives the host. On Linux the control reaches real
 * terminals through hidraw unless a scenario is chosen (usborva_host_use_scenario_file, or
 * the USBORVA_SCENARIO environment variable: docs/scenarios.md). */
USBORVA_C_EXPORT int32_t usborva_host_create(uint32_t flags, usborva_host** out);

/** Destroys the host, first terminating and destroying any control still on it (as
 * usborva_control_destroy). USBORVA_E_BUSY from inside a callback of this host. */
USBORVA_C_EXPORT int32_t usborva_host_destroy(usborva_host* host);

/** Changes the ambient UserMode of the host and its controls: non-zero for a running
 * application (puts of read-only properties fail with 382), zero for a form designer
 * (387). */
USBORVA_C_EXPORT int32_t usborva_host_set_user_mode(usborva_host* host, int user_mode);

/** Where the control's per-user settings (GetDefSetting, SaveDefSetting) are kept: root is
 * a folder; NULL or "" restores the default ${XDG_CONFIG_HOME:-$HOME/.config}. Applies to
 * controls created after the call. */
USBORVA_C_EXPORT int32_t usborva_host_set_settings_root(usborva_host* host, const char* root);

/** Where the control's message boxes go. NULL (the default) prints them on standard
 * output and returns at once. */
USBORVA_C_EXPORT int32_t usborva_host_set_message_handler(usborva_host* host,
                                                          usborva_message_handler handler,
                                                          void* user);

/** Rehearsal without hardware: the host's controls meet a simulated terminal that plays
 * the scenario file at path (docs/scenarios.md), instead of the machine's terminals. The
 * scenario's timeline starts now and advances as the host's loop runs. Once per host,
 * before any control of the host opens its port (else USBORVA_E_INVALID_STATE).
 * USBORVA_E_SCENARIO when the file cannot be read or parsed. */
USBORVA_C_EXPORT int32_t usborva_host_use_scenario_file(usborva_host* host, const char* path);

/** As usborva_host_use_scenario_file, with the scenario's text; source_name names it in
 * error descriptions (NULL: "<scenario>"). */
USBORVA_C_EXPORT int32_t usborva_host_use_scenario_text(usborva_host* host, const char* text,
                                                        const char* source_name);

/** *finished receives 1 when the host's scenario has played its last step, 0 while it
 * plays, and 1 when the host has no scenario. */
USBORVA_C_EXPORT int32_t usborva_host_scenario_finished(usborva_host* host, int* finished);

/** *out receives the scenario's failed expectations so far, one per line in the order they
 * failed ("file:line: expected set-feature 0A 01 within 2s; the host sent none"); "" when
 * none failed or the host has no scenario. The events the host's controls raise count
 * towards `expect event`. Free it with usborva_free. */
USBORVA_C_EXPORT int32_t usborva_host_scenario_failures(usborva_host* host, char** out);

/** *out receives the description of the last failed call on the host or on one of its
 * controls (the control's own description where it gives one, else the standard text;
 * "" when nothing failed yet). Free it with usborva_free. A successful call leaves it as
 * it was. */
USBORVA_C_EXPORT int32_t usborva_last_error_description(usborva_host* host, char** out);

/* ------------------------------------------------------------------ the loop */

/** Runs the host's loop for ms milliseconds: timer ticks, the control's polling and its
 * events, the scenario's steps. Returns early after usborva_host_stop. A tick that fails
 * ends the run with the failure's status. */
USBORVA_C_EXPORT int32_t usborva_host_run_for(usborva_host* host, int64_t ms);

/** Runs the loop until done(user) returns non-zero (checked at once and after every tick),
 * timeout_ms passes, or usborva_host_stop. *met (may be NULL) receives 1 when the
 * condition held, else 0. */
USBORVA_C_EXPORT int32_t usborva_host_run_until(usborva_host* host, usborva_condition done,
                                                void* user, int64_t timeout_ms, int* met);

/** Ends the innermost run of the host's loop once the current callback returns. The one
 * call that may come from another thread; without a run in progress it does nothing. */
USBORVA_C_EXPORT int32_t usborva_host_stop(usborva_host* host);

/** For a program with a loop of its own (libuv, GLib, asyncio, a GUI toolkit): *ms
 * receives how many milliseconds may pass before usborva_host_dispatch must be called
 * (rounded up; 0 when something is due now), or -1 when nothing is scheduled. Ask again
 * after every dispatch and every call into a control: both may change it. */
USBORVA_C_EXPORT int32_t usborva_host_next_timeout_ms(usborva_host* host, int64_t* ms);

/** Runs every tick due now and returns without waiting. */
USBORVA_C_EXPORT int32_t usborva_host_dispatch(usborva_host* host);

/* ------------------------------------------------------------------ controls */

/** Creates a control on the host: no properties yet; call usborva_control_init_properties
 * or usborva_control_load_bag next, once (as a container does). USBORVA_E_SCENARIO when the
 * host has no scenario of its own and USBORVA_SCENARIO names a file that cannot be read. */
USBORVA_C_EXPORT int32_t usborva_control_create(usborva_host* host, usborva_control** out);

/** Terminates the control (its timer stops and its terminal closes) and destroys it.
 * USBORVA_E_BUSY from inside a callback of its host. */
USBORVA_C_EXPORT int32_t usborva_control_destroy(usborva_control* control);

/** The control's events go to handler (NULL: dropped). */
USBORVA_C_EXPORT int32_t usborva_control_set_event_handler(usborva_control* control,
                                                           usborva_event_handler handler,
                                                           void* user);

/** Each property-change notice of the control goes to handler (NULL: none). */
USBORVA_C_EXPORT int32_t usborva_control_set_property_changed_handler(
    usborva_control* control, usborva_property_changed_handler handler, void* user);

/** The control's connection changes go to handler (NULL: none, the default). Observations
 * only: the control behaves the same with or without a handler. */
USBORVA_C_EXPORT int32_t usborva_control_set_connection_handler(usborva_control* control,
                                                                usborva_connection_handler handler,
                                                                void* user);

/** A new instance's values (the container's InitProperties). */
USBORVA_C_EXPORT int32_t usborva_control_init_properties(usborva_control* control);

/** Loads the saved properties from the property-bag file at path (the container's
 * ReadProperties; docs/property-bag-format.md): 53 when it does not exist, 75 when it
 * cannot be read, 380 for a value that cannot be read (the description names the line).
 * Loading restores the saved PortOpen flag as a value only: it opens no terminal. */
USBORVA_C_EXPORT int32_t usborva_control_load_bag(usborva_control* control, const char* path);

/** Saves the properties to the property-bag file at path (the container's
 * WriteProperties), written atomically with mode 0600. An existing bag keeps its order
 * and the lines it cannot read; 75 when the file cannot be written. */
USBORVA_C_EXPORT int32_t usborva_control_save_bag(usborva_control* control, const char* path);

/** *dirty receives 1 when a property changed since creation or the last
 * usborva_control_mark_clean, else 0. */
USBORVA_C_EXPORT int32_t usborva_control_dirty(usborva_control* control, int* dirty);

/** The program has saved the control's state. */
USBORVA_C_EXPORT int32_t usborva_control_mark_clean(usborva_control* control);

/** Which terminal the control's port takes when several supported ones are plugged in: the
 * one at device_path (as the backend names it, for example "/dev/hidraw3") and/or with the
 * USB serial number string serial_number (compared exactly); NULL or "" for either means
 * any. Applied after the terminal's matching rules, which it can only narrow, at the next
 * PortOpen True and at every reconnection of the poll loop. Both NULL: the first supported
 * terminal, as without this call. Not saved with the properties. */
USBORVA_C_EXPORT int32_t usborva_control_set_terminal_choice(usborva_control* control,
                                                             const char* device_path,
                                                             const char* serial_number);

/* ------------------------------------------------------------------ properties */

/** How many properties the control has (37); never fails. */
USBORVA_C_EXPORT int32_t usborva_property_count(void);

/** *name receives the name of property index (0 .. count - 1, in the control's member
 * order), static storage, never freed. USBORVA_E_INVALID_ARGUMENT out of range. */
USBORVA_C_EXPORT int32_t usborva_property_name(int32_t index, const char** name);

/** *type receives the type of the named property: USBORVA_TYPE_STRING, _LONG, _BYTE,
 * _BOOLEAN or _VARIANT (SigilData, SessionID). USBORVA_E_BAD_NAME for no such property. */
USBORVA_C_EXPORT int32_t usborva_property_type(const char* name, int32_t* type);

/**@{*/
/** Gets and puts by member name ("CardData", "Track1Length", ...). A property of another
 * type gives USBORVA_E_WRONG_TYPE, an unknown name USBORVA_E_BAD_NAME. A put the control
 * refuses fails with its number (382 at run time, 387 at design time; PortOpen at design
 * time 387) and changes nothing. */
USBORVA_C_EXPORT int32_t usborva_get_string(usborva_control* control, const char* name, char** out);
USBORVA_C_EXPORT int32_t usborva_put_string(usborva_control* control, const char* name,
                                            const char* value);
USBORVA_C_EXPORT int32_t usborva_get_long(usborva_control* control, const char* name, int32_t* out);
USBORVA_C_EXPORT int32_t usborva_put_long(usborva_control* control, const char* name,
                                          int32_t value);
USBORVA_C_EXPORT int32_t usborva_get_byte(usborva_control* control, const char* name, uint8_t* out);
USBORVA_C_EXPORT int32_t usborva_put_byte(usborva_control* control, const char* name,
                                          uint8_t value);
/**@}*/
/**@{*/
/** Booleans: *out receives 1 (True) or 0 (False); any non-zero value puts True. */
USBORVA_C_EXPORT int32_t usborva_get_bool(usborva_control* control, const char* name, int* out);
USBORVA_C_EXPORT int32_t usborva_put_bool(usborva_control* control, const char* name, int value);
/**@}*/
/**@{*/
/** The Variant properties: the get replaces out's contents (SigilData gives a string,
 * SessionID a byte array); the put converts value as the control does (SigilData to text,
 * SessionID to a byte array: a text gives its UTF-16LE code units, low byte first), or
 * fails with the conversion's number (13 type mismatch, 94 invalid use of Null). */
USBORVA_C_EXPORT int32_t usborva_get_value(usborva_control* control, const char* name,
                                           usborva_value* out);
USBORVA_C_EXPORT int32_t usborva_put_value(usborva_control* control, const char* name,
                                           const usborva_value* value);
/**@}*/

/* ------------------------------------------------------------------ methods */
/* Method results go to the last parameter, which may be NULL when the caller does not
 * want them. By-reference Variant parameters are usborva_value handles: read before the
 * call and written after it, as the control leaves them. */

/**@{*/
/** GetTrack, GetTrackMasked: *track_num in and out (the control's by-reference
 * TrackNum). */
USBORVA_C_EXPORT int32_t usborva_get_track(usborva_control* control, int16_t* track_num,
                                           char** out);
USBORVA_C_EXPORT int32_t usborva_get_track_masked(usborva_control* control, int16_t* track_num,
                                                  char** out);
/**@}*/

/** The card's fields, read from the tracks the control holds (Track1Data, Track2Data) as
 * the tool shows them: one "key=value" line each, ending in a line feed, in this order:
 * track1, track2 (1 when the track was found, else 0); then for a malformed card (a track
 * found but not well-formed, docs/cli.md) only "malformed=1", else pan (masked: at most
 * the first six and last four digits, unless reveal is non-zero), pan_luhn_valid (0 or
 * 1), surname, first_name, middle_initial, title, expiry (YYMM), service_code, and with
 * reveal track1_discretionary, track2_discretionary. Absent fields are empty. Values are
 * printable ASCII: only well-formed tracks fill them. *out may hold card data: free it with
 * usborva_free, which overwrites it. */
USBORVA_C_EXPORT int32_t usborva_card_view(usborva_control* control, int reveal, char** out);

/**@{*/
/** GetFName, GetLName, GetFNameMasked, GetLNameMasked. */
USBORVA_C_EXPORT int32_t usborva_get_fname(usborva_control* control, char** out);
USBORVA_C_EXPORT int32_t usborva_get_lname(usborva_control* control, char** out);
USBORVA_C_EXPORT int32_t usborva_get_fname_masked(usborva_control* control, char** out);
USBORVA_C_EXPORT int32_t usborva_get_lname_masked(usborva_control* control, char** out);
/**@}*/

/**@{*/
/** FindElement, FindElementMasked. direction_back is the optional by-reference
 * DirectionBack: NULL leaves it out; a value is passed in and holds what the control
 * left in it afterwards. A value set with usborva_value_set_missing is left out too, and
 * receives the direction the control chose (a Boolean) when the search got that far. */
USBORVA_C_EXPORT int32_t usborva_find_element(usborva_control* control, int16_t track_num,
                                              const char* ref_char, int16_t displacement,
                                              const char* num_digits, usborva_value* direction_back,
                                              char** out);
USBORVA_C_EXPORT int32_t usborva_find_element_masked(usborva_control* control, int16_t track_num,
                                                     const char* ref_char, int16_t displacement,
                                                     const char* num_digits,
                                                     usborva_value* direction_back, char** out);
/**@}*/

/** GetDefSetting: str_default is the optional default (NULL leaves it out; a value is
 * converted to text, so a Null fails with 94). 75 when the settings cannot be read. */
USBORVA_C_EXPORT int32_t usborva_get_def_setting(usborva_control* control, const char* key,
                                                 const usborva_value* str_default, char** out);

/** SaveDefSetting: *out receives the method's result (always ""). 75 when the settings
 * cannot be written, 5 for a store that refuses the name. */
USBORVA_C_EXPORT int32_t usborva_save_def_setting(usborva_control* control, const char* key,
                                                  const char* setting, char** out);

/** ClearBuffer: *out receives its Integer result. */
USBORVA_C_EXPORT int32_t usborva_clear_buffer(usborva_control* control, int16_t* out);

/** About: shows the control's message box (usborva_host_set_message_handler); *out
 * receives the method's result (""). */
USBORVA_C_EXPORT int32_t usborva_about(usborva_control* control, char** out);

/** InterpretMsg: *out receives its Boolean result as 1 or 0. 13 for a pair of characters
 * that is not hexadecimal, 9 for more pairs than the terminal's feature report holds. */
USBORVA_C_EXPORT int32_t usborva_interpret_msg(usborva_control* control, const char* text,
                                               int* out);

/**@{*/
/** GetFeatureReport, SetFeatureReport: *result receives 1 when the report was exchanged,
 * else 0 (these methods raise no error of their own). output is the by-reference
 * OutPutData: on success it holds the output text; otherwise what it held. NULL stands
 * for an Empty value the caller does not read. */
USBORVA_C_EXPORT int32_t usborva_get_feature_report(usborva_control* control, const char* command,
                                                    usborva_value* output, int32_t* result);
USBORVA_C_EXPORT int32_t usborva_set_feature_report(usborva_control* control, const char* command,
                                                    usborva_value* output, int32_t* result);
/**@}*/

/* ------------------------------------------------------------------ values */
/* A Variant: Empty, Null, a number, a Boolean, a text or a byte array. Values are
 * independent of hosts and not locked: use each from one thread at a time. */

/** A new Empty value. */
USBORVA_C_EXPORT int32_t usborva_value_create(usborva_value** out);
/** Overwrites and releases the value. */
USBORVA_C_EXPORT int32_t usborva_value_destroy(usborva_value* value);
/** *type receives the value's USBORVA_TYPE_* tag. */
USBORVA_C_EXPORT int32_t usborva_value_type(const usborva_value* value, int32_t* type);

/**@{*/
/** Setters replace the contents. set_string takes length bytes of UTF-8 (length may cover
 * NULs), or, when length is (size_t)-1, text up to its NUL. set_bytes copies length bytes
 * (bytes may be NULL when length is 0). */
USBORVA_C_EXPORT int32_t usborva_value_set_empty(usborva_value* value);
USBORVA_C_EXPORT int32_t usborva_value_set_null(usborva_value* value);
USBORVA_C_EXPORT int32_t usborva_value_set_missing(usborva_value* value);
USBORVA_C_EXPORT int32_t usborva_value_set_integer(usborva_value* value, int16_t v);
USBORVA_C_EXPORT int32_t usborva_value_set_long(usborva_value* value, int32_t v);
USBORVA_C_EXPORT int32_t usborva_value_set_byte(usborva_value* value, uint8_t v);
USBORVA_C_EXPORT int32_t usborva_value_set_bool(usborva_value* value, int v);
USBORVA_C_EXPORT int32_t usborva_value_set_double(usborva_value* value, double v);
USBORVA_C_EXPORT int32_t usborva_value_set_string(usborva_value* value, const char* text,
                                                  size_t length);
USBORVA_C_EXPORT int32_t usborva_value_set_bytes(usborva_value* value, const uint8_t* bytes,
                                                 size_t length);
/**@}*/

/**@{*/
/** Getters of the stored subtype: any other subtype gives USBORVA_E_WRONG_TYPE (no
 * conversion). get_string's *out is NUL-terminated, *length (may be NULL) its byte count
 * without the NUL; get_bytes' *out holds *length bytes (never NULL, even when empty).
 * Free both with usborva_free. */
USBORVA_C_EXPORT int32_t usborva_value_get_integer(const usborva_value* value, int16_t* out);
USBORVA_C_EXPORT int32_t usborva_value_get_long(const usborva_value* value, int32_t* out);
USBORVA_C_EXPORT int32_t usborva_value_get_byte(const usborva_value* value, uint8_t* out);
USBORVA_C_EXPORT int32_t usborva_value_get_bool(const usborva_value* value, int* out);
USBORVA_C_EXPORT int32_t usborva_value_get_double(const usborva_value* value, double* out);
USBORVA_C_EXPORT int32_t usborva_value_get_string(const usborva_value* value, char** out,
                                                  size_t* length);
USBORVA_C_EXPORT int32_t usborva_value_get_bytes(const usborva_value* value, uint8_t** out,
                                                 size_t* length);
/**@}*/

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* USBORVA_USBORVA_C_H_ */
