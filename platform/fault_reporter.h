// Between the fault hook and the reporter process that shows its reports.
// Internal to the platform layer.
#ifndef UPDATER_PLATFORM_FAULT_REPORTER_H_
#define UPDATER_PLATFORM_FAULT_REPORTER_H_

#include <cstddef>
#include <cstdint>

#include "platform/fault_hook.h"

// What the faulting thread sends the reporter.
struct FaultMessage {
  uint32_t code;
  FaultHandler handler;  // the same address in the forked reporter
};

// From now on the hook sends faults through these pipe ends.
void use_fault_reporter(int to_reporter, int from_reporter);

// Records `code` as the fault being handled.
void record_fault(uint32_t code);

// Whole reads and writes despite interruptions; false at end of file or on
// an error. Async-signal-safe.
bool write_all(int fd, const void* data, size_t size);
bool read_all(int fd, void* data, size_t size);

#endif  // UPDATER_PLATFORM_FAULT_REPORTER_H_
