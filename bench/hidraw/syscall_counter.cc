// SPDX-License-Identifier: Apache-2.0
// Wrappers in front of libc's file calls: a program's own definitions of these symbols are
// the ones every library of the process (the backend included) binds to.
#include "hidraw/syscall_counter.h"

#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdarg>

namespace usborva::bench {
namespace {

thread_local bool t_counting = false;
thread_local uint64_t t_calls = 0;

void Note() {
  if (t_counting) ++t_calls;
}

template <typename Fn>
Fn Next(const char* name) {
  return reinterpret_cast<Fn>(dlsym(RTLD_NEXT, name));
}

}  // namespace

void StartCountingSyscalls() {
  t_calls = 0;
  t_counting = true;
}

uint64_t StopCountingSyscalls() {
  t_counting = false;
  return t_calls;
}

}  // namespace usborva::bench

using usborva::bench::Next;
using usborva::bench::Note;

extern "C" {

int open(const char* path, int flags, ...) {
  static auto real = Next<int (*)(const char*, int, mode_t)>("open");
  mode_t mode = 0;
  if ((flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE) {
    va_list args;
    va_start(args, flags);
    mode = va_arg(args, mode_t);
    va_end(args);
  }
  Note();
  return real(path, flags, mode);
}

int close(int fd) {
  static auto real = Next<int (*)(int)>("close");
  Note();
  return real(fd);
}

ssize_t read(int fd, void* buffer, size_t count) {
  static auto real = Next<ssize_t (*)(int, void*, size_t)>("read");
  Note();
  return real(fd, buffer, count);
}

ssize_t write(int fd, const void* buffer, size_t count) {
  static auto real = Next<ssize_t (*)(int, const void*, size_t)>("write");
  Note();
  return real(fd, buffer, count);
}

int ioctl(int fd, unsigned long request, ...) {
  static auto real = Next<int (*)(int, unsigned long, void*)>("ioctl");
  va_list args;
  va_start(args, request);
  void* argument = va_arg(args, void*);
  va_end(args);
  Note();
  return real(fd, request, argument);
}

int poll(pollfd* fds, nfds_t count, int timeout) {
  static auto real = Next<int (*)(pollfd*, nfds_t, int)>("poll");
  Note();
  return real(fds, count, timeout);
}

int stat(const char* path, struct stat* st) {
  static auto real = Next<int (*)(const char*, struct stat*)>("stat");
  Note();
  return real(path, st);
}

ssize_t readlink(const char* path, char* buffer, size_t size) {
  static auto real = Next<ssize_t (*)(const char*, char*, size_t)>("readlink");
  Note();
  return real(path, buffer, size);
}

char* realpath(const char* path, char* resolved) {
  static auto real = Next<char* (*)(const char*, char*)>("realpath");
  Note();
  return real(path, resolved);
}

DIR* opendir(const char* path) {
  static auto real = Next<DIR* (*)(const char*)>("opendir");
  Note();
  return real(path);
}

int closedir(DIR* dir) {
  static auto real = Next<int (*)(DIR*)>("closedir");
  Note();
  return real(dir);
}

}  // extern "C"
