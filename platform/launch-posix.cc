#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "platform/launch.h"
#include "text/command_line.h"

extern char** environ;

namespace {

// Spawns argv in `directory` (empty: ours). Returns the child's pid, or -1
// when nothing could be executed.
pid_t spawn(const std::string& file, const std::vector<std::string>& arguments,
            const std::string& directory, unsigned options) {
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (options & kLaunchHidden) {
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  }
  if (!directory.empty()) posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
  // Our own descriptors are close-on-exec, but a library's (the display
  // connection, a socket) may not be.
  posix_spawn_file_actions_addclosefrom_np(&actions, 3);

  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t all, none;
  sigfillset(&all);
  sigemptyset(&none);
  posix_spawnattr_setsigdefault(&attributes, &all);
  posix_spawnattr_setsigmask(&attributes, &none);
  short flags = POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK;
  // A child we do not wait for must outlive us, not die with our session.
  if (!(options & kLaunchWait)) flags |= POSIX_SPAWN_SETSID;
  posix_spawnattr_setflags(&attributes, flags);

  pid_t pid = -1;
  bool search_path = file.find('/') == std::string::npos;
  int error = search_path
                  ? posix_spawnp(&pid, file.c_str(), &actions, &attributes, argv.data(), environ)
                  : posix_spawn(&pid, file.c_str(), &actions, &attributes, argv.data(), environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  return error == 0 ? pid : -1;
}

bool is_regular_file(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

bool launch_program(const std::string& program, const std::string& arguments,
                    const std::string& working_directory, unsigned options, int* exit_status) {
  if (exit_status != nullptr) *exit_status = -1;
  std::string line = !program.empty() && program[0] == '"' ? program : '"' + program + '"';
  if (!arguments.empty()) line += ' ' + arguments;
  std::vector<std::string> argv = split_command_line(line);
  if (argv.empty() || argv[0].empty()) return false;

  // A bare name that is a file in the working directory means that file,
  // before anything on PATH.
  std::string file = argv[0];
  std::string directory = working_directory.empty() ? "." : working_directory;
  if (file.find('/') == std::string::npos && is_regular_file(directory + "/" + file)) {
    file = "./" + file;
  }
  pid_t pid = spawn(file, argv, working_directory, options);
  bool opener = pid < 0;

  if (opener) {
    // Not executable: let the desktop open it, in the directory given or
    // else the program's own.
    std::string open_directory = working_directory;
    size_t slash = argv[0].rfind('/');
    if (open_directory.empty() && slash != std::string::npos) {
      open_directory = slash == 0 ? "/" : argv[0].substr(0, slash);
    }
    // The opener runs elsewhere, so a relative name that exists here goes to
    // it as a full path; anything else (a URL, say) goes as it is.
    std::string target = argv[0];
    char cwd[4096];
    if (target[0] != '/' && access(target.c_str(), F_OK) == 0 && getcwd(cwd, sizeof cwd)) {
      target = std::string(cwd) + "/" + target;
    }
    pid = spawn("xdg-open", {"xdg-open", target}, open_directory, options);
  }
  if (pid < 0) return false;

  if (options & kLaunchWait) {
    int status = 0;
    pid_t waited;
    while ((waited = waitpid(pid, &status, 0)) < 0 && errno == EINTR) {
    }
    if (exit_status != nullptr && !opener && waited == pid && WIFEXITED(status)) {
      *exit_status = WEXITSTATUS(status);
    }
  }
  return true;
}
