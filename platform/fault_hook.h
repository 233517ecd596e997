// The process-wide hook for fatal faults (invalid memory access, arithmetic
// faults, illegal instructions, traps, aborts).
#ifndef UPDATER_PLATFORM_FAULT_HOOK_H_
#define UPDATER_PLATFORM_FAULT_HOOK_H_

// Called on the faulting thread; its result is ignored.
using FaultHandler = int (*)();

// From now on a fatal fault on any thread calls `handler` on that thread and
// then ends the process with exit code 0; the faulting code never resumes.
// Keeps the previous dispositions for `remove_fault_hook`. Main thread, once.
void install_fault_hook(FaultHandler handler);

// Puts back the dispositions that were in place before `install_fault_hook`.
// Main thread.
void remove_fault_hook();

#endif  // UPDATER_PLATFORM_FAULT_HOOK_H_
