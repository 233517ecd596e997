// The process-wide hook for fatal faults (invalid memory access, arithmetic
// faults, illegal instructions, stack overflow, traps, aborts), on any
// thread.
//
// A fault's report needs the toolkit, which neither a signal handler nor a
// thread other than the toolkit's may use. So the report is shown by a small
// reporter process, forked by `start_fault_reporter` while the program is
// still single-threaded and without a display connection: the faulting
// thread sends it the fault and waits for its answer, then ends the process.
#ifndef UPDATER_PLATFORM_FAULT_HOOK_H_
#define UPDATER_PLATFORM_FAULT_HOOK_H_

#include <cstdint>

// Runs the report; its result is ignored. With a reporter it runs in the
// reporter process, which has the fault recorded and its own toolkit;
// without one, on the faulting thread itself.
using FaultHandler = int (*)();

// Forks the reporter. Main thread, once, before the toolkit starts and
// before any other thread exists. The reporter ends when this process ends
// normally, and after a report once the clipboard no longer needs it. When
// the fork fails, faults are reported on the faulting thread instead.
void start_fault_reporter();

// From now on a fatal fault on any thread records the fault, runs `handler`
// and waits for it, then ends the process with exit code 0; the faulting
// code never resumes and nothing else runs. A second fault while a report is
// up waits for that report to end the process. Keeps the previous
// dispositions for `remove_fault_hook`. Main thread, once.
void install_fault_hook(FaultHandler handler);

// Puts back the dispositions that were in place before `install_fault_hook`.
// Main thread.
void remove_fault_hook();

// Gives the calling thread a stack of its own for the handler, so that a
// stack overflow there is reported too. Every thread that runs the
// program's code calls it as it starts (the hook does it for the main
// thread), and `fault_hook_leave_thread` before it ends.
void fault_hook_enter_thread();
void fault_hook_leave_thread();

// The recorded fault, meaningful while the handler runs: its description,
// or "Unknown error code"; its source line, -1 as none is recorded; its
// source file, "OnError line support disabled" as none is known.
const char* fault_description();
int32_t fault_line();
const char* fault_file();

#endif  // UPDATER_PLATFORM_FAULT_HOOK_H_
