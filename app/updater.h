// Start-up, mode dispatch and the end of the run.
//
// Everything here runs on the main thread. The procedures marked "never
// returns" end the process with exit code 0.
#ifndef UPDATER_APP_UPDATER_H_
#define UPDATER_APP_UPDATER_H_

#include <string>
#include <string_view>

#include "update/session.h"

// The run itself: start-up, then update or cleanup mode. Never returns.
[[noreturn]] void updater_main();

// The index-th parameter after the program's own name (0-based); "" when
// absent.
std::string program_parameter(int index);

// Writes the embedded extraction tool to "unzip.exe"; failures are silent.
void write_extraction_tool();

// Major and minor from the first two "."-fields, patch from the third only
// when there are exactly two points; each the low 32 bits of the number.
VersionNumbers parse_installed_version(std::string_view text);

// Returns when product name, check URL, archive URL and executable name are
// all present; otherwise shows the "Error" box and ends the run.
void validate_parameters();

// Deletes the leftovers of a self-replacing update and launches `target`.
// Never returns.
[[noreturn]] void run_cleanup_mode(const std::string& target);

// Deletes "unzip.exe", read-only or not; failures are silent.
void remove_extraction_tool();

// Removes the fault hook, releases the platform services and ends the
// process with exit code 0, without waiting for any worker. Never returns.
[[noreturn]] void end_program();

#endif  // UPDATER_APP_UPDATER_H_
