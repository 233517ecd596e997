#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/types.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/task_kill.h"

// Every failure below is ignored on purpose: a process we cannot inspect or
// signal is simply not one we stop.

namespace {

// The kernel keeps a process name in 16 bytes, the last one a NUL.
constexpr size_t kCommBytes = 15;
constexpr long kPollNanoseconds = 20 * 1000 * 1000;
constexpr long kLimitMilliseconds = 10 * 1000;

// At most `limit` bytes of `file` in the /proc/PID directory `dir`; "" on
// failure. Going through the directory descriptor means that a pid reused
// meanwhile yields an error rather than another process's data.
std::string read_at(int dir, const char* file, size_t limit) {
  std::string text;
  int fd = openat(dir, file, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return text;
  char buffer[4096];
  while (text.size() < limit) {
    ssize_t got = read(fd, buffer, std::min(sizeof buffer, limit - text.size()));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    text.append(buffer, static_cast<size_t>(got));
  }
  close(fd);
  return text;
}

std::string last_component(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool has_real_uid(int dir, uid_t uid) {
  std::string status = read_at(dir, "status", 16 * 1024);
  size_t line = status.find("\nUid:");
  if (line == std::string::npos) return false;
  // "Uid:" is followed by the real, effective, saved and file system uids.
  const char* start = status.c_str() + line + 5;
  char* end = nullptr;
  errno = 0;
  unsigned long real = std::strtoul(start, &end, 10);
  return end != start && errno == 0 && real == uid;
}

bool runs_executable(int dir, const std::string& name) {
  char target[PATH_MAX + 16];
  ssize_t size = readlinkat(dir, "exe", target, sizeof target);
  if (size <= 0 || static_cast<size_t>(size) >= sizeof target) return false;
  std::string exe(target, static_cast<size_t>(size));
  if (last_component(exe) == name) return true;
  // The kernel marks an executable deleted or replaced since it was started,
  // which is how an earlier update may have left it.
  static const std::string kDeleted = " (deleted)";
  if (exe.size() <= kDeleted.size() ||
      exe.compare(exe.size() - kDeleted.size(), kDeleted.size(), kDeleted) != 0) {
    return false;
  }
  exe.resize(exe.size() - kDeleted.size());
  return last_component(exe) == name;
}

// A script runs as its interpreter, but the kernel names the process after
// the script and passes the script's path right after the interpreter's.
bool runs_script(int dir, const std::string& name) {
  std::string comm = read_at(dir, "comm", 64);
  if (!comm.empty() && comm.back() == '\n') comm.pop_back();
  if (comm != name.substr(0, kCommBytes)) return false;
  // Two paths and their NULs; anything beyond is of no interest.
  std::string arguments = read_at(dir, "cmdline", 2 * (PATH_MAX + 1));
  size_t first_end = arguments.find('\0');
  if (last_component(arguments.substr(0, first_end)) == name) return true;
  if (first_end == std::string::npos) return false;
  size_t second_end = arguments.find('\0', first_end + 1);
  size_t second_size =
      second_end == std::string::npos ? std::string::npos : second_end - first_end - 1;
  return last_component(arguments.substr(first_end + 1, second_size)) == name;
}

// True once `pid` no longer runs. A dead process stays a zombie until its
// parent reaps it, which may never happen soon (or be up to us, who must not
// reap), so a zombie counts as gone, but only once its other threads are gone
// too: until then they may still hold its executable.
bool has_ended(pid_t pid) {
  if (kill(pid, 0) != 0) return true;
  std::string path = "/proc/" + std::to_string(pid);
  int dir = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) return true;
  std::string stat = read_at(dir, "stat", 4096);
  close(dir);
  // The name in parentheses may hold anything, so fields count from its end.
  size_t name_end = stat.rfind(')');
  if (name_end == std::string::npos) return true;
  const char* field = stat.c_str() + name_end + 1;
  while (*field == ' ') ++field;
  char state = *field;
  if (state != 'Z' && state != 'X') return false;
  // The thread count is the 17th field after the state.
  for (int skipped = 0; skipped < 17 && *field != '\0'; ++field) {
    if (*field == ' ') ++skipped;
  }
  return std::strtol(field, nullptr, 10) <= 1;
}

long milliseconds_since(const timespec& start) {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return (now.tv_sec - start.tv_sec) * 1000 + (now.tv_nsec - start.tv_nsec) / (1000 * 1000);
}

}  // namespace

void stop_processes_named(const std::string& name) {
  if (name.empty()) return;
  timespec start;
  clock_gettime(CLOCK_MONOTONIC, &start);
  const uid_t uid = getuid();
  const pid_t self = getpid();

  std::vector<pid_t> killed;
  int proc = open("/proc", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (proc < 0) return;
  DIR* entries = fdopendir(proc);
  if (entries == nullptr) {
    close(proc);
    return;
  }
  while (const dirent* entry = readdir(entries)) {
    char* end = nullptr;
    long pid = std::strtol(entry->d_name, &end, 10);
    if (end == entry->d_name || *end != '\0' || pid <= 0 || pid == self) continue;
    int dir = openat(proc, entry->d_name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) continue;
    bool match = has_real_uid(dir, uid) && (runs_executable(dir, name) || runs_script(dir, name));
    close(dir);
    if (match && kill(static_cast<pid_t>(pid), SIGKILL) == 0) {
      killed.push_back(static_cast<pid_t>(pid));
    }
  }
  closedir(entries);

  for (;;) {
    killed.erase(std::remove_if(killed.begin(), killed.end(), has_ended), killed.end());
    if (killed.empty() || milliseconds_since(start) >= kLimitMilliseconds) return;
    const timespec pause = {0, kPollNanoseconds};
    nanosleep(&pause, nullptr);
  }
}
