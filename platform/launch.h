// Starting other programs.
//
// Called from the main thread only (a waited-for launch blocks it).
#ifndef UPDATER_PLATFORM_LAUNCH_H_
#define UPDATER_PLATFORM_LAUNCH_H_

#include <string>

enum LaunchOptions : unsigned {
  kLaunchNoOptions = 0,
  kLaunchWait = 1,    // block, with no time limit, until the child has exited
  kLaunchHidden = 2,  // the child's stdin, stdout and stderr are /dev/null
};

// Starts `program` with `arguments` (one text, split like a command line)
// in `working_directory` (empty: ours). The command line is the program in
// double quotes, unless it already begins with one, then a blank and the
// arguments when there are any.
//
// A program name without "/" that names a file in the working directory runs
// that file; otherwise PATH is searched. When nothing can be executed, the
// program text is handed to xdg-open (when it exists), in the working
// directory given or else the program's own directory.
//
// The child inherits none of our descriptors, starts with default signal
// dispositions and an empty signal mask, and, when not waited for, leads a
// session of its own so that it outlives us. Returns whether something
// started; callers may ignore it. With `kLaunchWait` and a non-null
// `exit_status`, that receives the program's exit code, or -1 when the
// program itself did not run (or xdg-open ran instead) or died of a signal.
bool launch_program(const std::string& program, const std::string& arguments,
                    const std::string& working_directory, unsigned options,
                    int* exit_status = nullptr);

#endif  // UPDATER_PLATFORM_LAUNCH_H_
