// SPDX-License-Identifier: Apache-2.0
#include "c_api/handles.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <unordered_set>

#include "usborva/automation_error.h"

namespace usborva::c_api {
namespace {

// Handles are few and live long; one lock over a set is plenty, and it lets a stale
// pointer be refused without reading through it.
std::mutex& RegistryLock() {
  static std::mutex lock;
  return lock;
}

std::unordered_set<const void*>& Registry() {
  static auto* registry = new std::unordered_set<const void*>();  // never destroyed
  return *registry;
}

// Every text and byte array handed out carries its size in front, so usborva_free can
// overwrite it without being told how long it is.
struct alignas(std::max_align_t) OutHeader {
  size_t size;
};

}  // namespace

const char* InterfaceError::what() const noexcept { return usborva_error_text(code_); }

void Register(const void* handle) {
  std::lock_guard<std::mutex> guard(RegistryLock());
  Registry().insert(handle);
}

void Unregister(const void* handle) {
  std::lock_guard<std::mutex> guard(RegistryLock());
  Registry().erase(handle);
}

bool IsLive(const void* handle) noexcept {
  if (handle == nullptr) return false;
  std::lock_guard<std::mutex> guard(RegistryLock());
  return Registry().count(handle) != 0;
}

int32_t StatusOfCurrentException(usborva_host* host) noexcept {
  int32_t status = USBORVA_E_INTERNAL;
  const char* description = usborva_error_text(status);
  try {
    throw;
  } catch (const AutomationError& e) {
    status = e.number();
    description =
        e.description().empty() ? AutomationError::StandardText(status) : e.description().c_str();
  } catch (const InterfaceError& e) {
    status = e.code();
    description = e.what();
  } catch (const scenario::ScenarioError& e) {
    status = USBORVA_E_SCENARIO;
    description = e.what();
  } catch (const std::bad_alloc&) {
    status = USBORVA_E_NO_MEMORY;
    description = usborva_error_text(status);
  } catch (const std::exception& e) {
    description = e.what();
  } catch (...) {
  }
  if (host != nullptr) {
    try {
      host->last_error = description;  // the exception, and so description, is still alive
    } catch (...) {
      host->last_error.clear();  // no memory for the text: the status still tells
    }
  }
  return status;
}

const Variant& ValueOf(const usborva_value* value) {
  if (!IsLive(value)) throw InterfaceError(USBORVA_E_BAD_HANDLE);
  return value->variant;
}

Variant& ValueOf(usborva_value* value) {
  if (!IsLive(value)) throw InterfaceError(USBORVA_E_BAD_HANDLE);
  return value->variant;
}

String TextIn(const char* utf8) {
  Require(utf8);
  return Utf8ToString(utf8);
}

void* AllocateOut(size_t size) {
  void* block = std::malloc(sizeof(OutHeader) + size);
  if (block == nullptr) throw std::bad_alloc();
  static_cast<OutHeader*>(block)->size = size;
  return static_cast<OutHeader*>(block) + 1;
}

char* TextOut(std::string_view utf8) {
  auto* out = static_cast<char*>(AllocateOut(utf8.size() + 1));
  std::memcpy(out, utf8.data(), utf8.size());
  out[utf8.size()] = '\0';
  return out;
}

char* TextOut(const String& text) {
  std::string utf8 = StringToUtf8(text);
  char* out = nullptr;
  try {
    out = TextOut(std::string_view(utf8));
  } catch (...) {
    Wipe(utf8);
    throw;
  }
  Wipe(utf8);
  return out;
}

void MaybeTextOut(const String& text, char** out) {
  if (out != nullptr) *out = TextOut(text);
}

void Wipe(void* memory, size_t size) noexcept {
  volatile auto* bytes = static_cast<volatile unsigned char*>(memory);
  for (size_t i = 0; i < size; ++i) bytes[i] = 0;
}

WipedString::~WipedString() { Wipe(text); }

void Wipe(std::string& text) noexcept { Wipe(text.data(), text.size()); }

void Wipe(String& text) noexcept { Wipe(text.data(), text.size() * sizeof(char16_t)); }

void FreeOut(void* memory) noexcept {
  if (memory == nullptr) return;
  OutHeader* header = static_cast<OutHeader*>(memory) - 1;
  Wipe(memory, header->size);
  std::free(header);
}

}  // namespace usborva::c_api
