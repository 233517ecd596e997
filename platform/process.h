// This process: its command line, its platform services, its end.
#ifndef UPDATER_PLATFORM_PROCESS_H_
#define UPDATER_PLATFORM_PROCESS_H_

#include <string>

// Records the argument list the process was started with; called once by the
// entry point before anything else. `argv` must outlive the process.
void set_process_arguments(int argc, char** argv);

// The command line as one text, program name first: the arguments joined by
// blanks, each empty or blank-holding one in double quotes. Main thread.
std::string command_line_text();

// Brings up the windowing toolkit (when a display can be opened) and the
// socket layer. Main thread, once, before any other service is used.
void start_platform_services();

// Releases what `start_platform_services` started, leaving alone anything a
// still-running worker thread may use. Main thread, once.
void release_platform_services();

// Ends the process at once with exit code 0: no exit handlers or static
// destructors run, so threads still at work cannot trip over them.
[[noreturn]] void exit_process();

#endif  // UPDATER_PLATFORM_PROCESS_H_
