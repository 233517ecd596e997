// Stopping the program being updated, so that its files can be replaced.
#ifndef UPDATER_PLATFORM_TASK_KILL_H_
#define UPDATER_PLATFORM_TASK_KILL_H_

#include <string>

// Forcibly stops (SIGKILL) every process of the current user (real uid) that
// was started from the executable `name`, never the calling process itself,
// and returns once they are all gone, or after at most 10 s.
//
// `name` is a file name without directory, matched whole and byte for byte
// ("My App" is one name). A process was started from it when its executable
// has that name, even if the file has since been deleted or replaced, or when
// it is a script of that name run by its interpreter through the "#!" line.
// A script started explicitly as "sh app.sh" is not recognised.
//
// A process that has exited counts as gone even while nobody has reaped it;
// nothing is reaped here. A name that matches nothing, or an empty name, does
// nothing and returns at once. Failures are silent: a process that cannot be
// inspected or signalled is left alone, and one that outlives the 10 s is
// left running. Main thread (it blocks while it waits).
void stop_processes_named(const std::string& name);

#endif  // UPDATER_PLATFORM_TASK_KILL_H_
