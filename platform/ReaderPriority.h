// Real-time priority for the thread that reads hidraw's interrupt reports.
//
// A device at the microframe limit sends a report every 42 us, and the
// kernel keeps 64 of them for each open file: a reader not scheduled within
// 2.7 ms loses reports that nobody can count. So the reader thread asks for
// SCHED_FIFO at kReaderPriority where the system grants it (CAP_SYS_NICE,
// or an RLIMIT_RTPRIO of at least kReaderPriority), and runs at normal
// priority where it does not. Nothing else in the program runs at that
// priority, and a reader cannot starve the machine: it blocks whenever its
// queues are empty, does at most a queue's worth of work per descriptor each
// time it wakes, and the kernel keeps part of every second for the threads that
// are not real-time (sched_rt_runtime_us).
#ifndef PINWORTH_HID_READER_PRIORITY_H
#define PINWORTH_HID_READER_PRIORITY_H

#include <string>

namespace hid {

inline constexpr int kReaderPriority = 10;

// Asks for real-time priority for the calling thread; false when it is not
// granted, the reason kept for ReaderPriorityProblem().
bool RaiseReaderPriority();
// Why a reader thread runs at normal priority: empty until one is refused.
// Any thread.
std::string ReaderPriorityProblem();
// What a user is told once a reader was refused, the problem and what it
// risks in a few sentences; empty until then. Any thread.
std::string ReaderPriorityNotice();

} // namespace hid

#endif
