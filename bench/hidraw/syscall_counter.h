// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_BENCH_HIDRAW_SYSCALL_COUNTER_H_
#define USBORVA_BENCH_HIDRAW_SYSCALL_COUNTER_H_

#include <cstdint>

namespace usborva::bench {

// Counts the calling thread's calls into the kernel's file interface made through libc
// (open, close, read, write, ioctl, poll, stat, readlink, opendir, closedir, realpath), by
// wrappers this program puts in front of libc's own. Other threads (the emulated node's
// server) are never counted. A directory listing counts as its opendir and closedir, and
// realpath() once though it resolves each component of the path.
void StartCountingSyscalls();
// The calls counted since StartCountingSyscalls(); counting stops.
uint64_t StopCountingSyscalls();

}  // namespace usborva::bench

#endif  // USBORVA_BENCH_HIDRAW_SYSCALL_COUNTER_H_
