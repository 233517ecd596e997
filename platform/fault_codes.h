// Fault codes: the kinds of fatal fault the report knows, their texts, and
// how Linux signals map onto them. Pure functions, any thread (the mapping
// is also async-signal-safe).
#ifndef UPDATER_PLATFORM_FAULT_CODES_H_
#define UPDATER_PLATFORM_FAULT_CODES_H_

#include <cstdint>

// The text for `code`, or "Unknown error code".
const char* describe_fault_code(uint32_t code);

// The code for a fault signal with its si_code; `stack_overflow` when the
// faulting address lay in the thread's stack guard. A code that no text
// describes stands for anything else (an abort, say).
uint32_t fault_code_from_signal(int signal_number, int signal_code, bool stack_overflow);

#endif  // UPDATER_PLATFORM_FAULT_CODES_H_
