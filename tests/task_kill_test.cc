// Stopping processes by name, on real processes started from files in a
// temporary directory.
//
// Every file name gets our pid in front, so that parallel runs of these tests
// and whatever else the user runs are never stopped by mistake.
#include "platform/task_kill.h"

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "tests/temp_dir.h"

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

constexpr uid_t kNobody = 65534;
// Far below the 10 s the call may wait for a process that does not go away.
constexpr milliseconds kQuick(2000);

std::string unique(const std::string& name) {
  return name.empty() ? name : std::to_string(getpid()) + "-" + name;
}

std::string proc_file(pid_t pid, const char* file) {
  return TempDirTest::read("/proc/" + std::to_string(pid) + "/" + file);
}

// Whether `pid` has exited, reaped or not.
bool has_ended(pid_t pid) {
  if (kill(pid, 0) != 0) return true;
  std::string stat = proc_file(pid, "stat");
  size_t name_end = stat.rfind(')');
  return name_end == std::string::npos || stat.compare(name_end, 3, ") Z") == 0;
}

// The kernel names a process after the file it runs before it sets up the
// new argument list, and the call needs both.
bool runs_file(pid_t pid, const std::string& file) {
  return proc_file(pid, "comm") == file.substr(0, 15) + "\n" && !proc_file(pid, "cmdline").empty();
}

template <typename Condition>
bool eventually(Condition condition) {
  const auto deadline = steady_clock::now() + milliseconds(5000);
  while (!condition()) {
    if (steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(milliseconds(5));
  }
  return true;
}

enum Kind {
  kBinary,   // a copy of /bin/sleep
  kScript,   // a shell script that sleeps in a loop, run through its "#!" line
  kSymlink,  // a symbolic link to /bin/sleep
};

enum Start {
  kChild,       // our child, which we can reap
  kGrandchild,  // the child of a shell of ours, so never our zombie
  kOtherUser,   // our child, but running as nobody
};

struct Process {
  const char* file;
  Kind kind;
  Start start;
  bool survives;
  const char* argv0 = nullptr;  // "./file" when null
  bool deleted = false;         // the file is removed once the process runs
};

struct Case {
  const char* label;
  const char* name;
  std::vector<Process> processes;
};

void PrintTo(const Case& test_case, std::ostream* out) { *out << test_case.label; }

const Case kCases[] = {
    {"Binary",
     "my-app",
     {
         {"my-app", kBinary, kChild, false},
         {"my-app", kBinary, kGrandchild, false},
         {"my-app2", kBinary, kChild, true},
         {"my-ap", kBinary, kChild, true},
         {"other-app", kBinary, kChild, true, "my-app"},
     }},
    {"NameWithBlank",
     "My App",
     {
         {"My App", kBinary, kChild, false},
         {"My", kBinary, kChild, true},
     }},
    // Only the executable's name tells, not the process name or arguments.
    {"DeletedExecutable", "my-app", {{"my-app", kBinary, kChild, false, "renamed", true}}},
    // The executable is /bin/sleep; the process name and arguments tell.
    {"Symlink", "my-app", {{"my-app", kSymlink, kChild, false}}},
    {"Script",
     "app.sh",
     {
         {"app.sh", kScript, kChild, false},
         {"app.sh", kScript, kGrandchild, false},
         {"other.sh", kScript, kChild, true},
         {"app.sh2", kScript, kChild, true},
     }},
    // Both are cut to the same process name; only the arguments tell them apart.
    {"ScriptNameLongerThanProcessName",
     "long-application-name.sh",
     {
         {"long-application-name.sh", kScript, kChild, false},
         {"long-application-other.sh", kScript, kChild, true},
     }},
    {"OtherUser",
     "my-app",
     {
         {"my-app", kBinary, kOtherUser, true},
         {"my-app", kBinary, kChild, false},
     }},
    {"NoMatch", "absent-app", {{"my-app", kBinary, kChild, true}}},
    {"EmptyName", "", {{"my-app", kBinary, kChild, true}}},
};

class TaskKillTest : public TempDirTest {
 public:
  void SetUp() override {
    TempDirTest::SetUp();
    // A killed script leaves its "sleep" behind, and we, not init, should
    // reap it.
    ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
  }

  void TearDown() override {
    // Each child leads a process group, which takes along what it started.
    for (pid_t pid : groups_) kill(-pid, SIGKILL);
    for (pid_t pid : unreaped_) waitpid(pid, nullptr, 0);
    EXPECT_TRUE(eventually([] { return waitpid(-1, nullptr, WNOHANG) < 0 && errno == ECHILD; }));
    prctl(PR_SET_CHILD_SUBREAPER, 0);
    TempDirTest::TearDown();
  }

  // Starts `program` in a process group of its own; -1 on failure.
  pid_t spawn(const std::string& program, const std::vector<std::string>& arguments,
              bool as_nobody = false, bool quiet = false) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
      argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
      setpgid(0, 0);
      if (quiet) dup2(open("/dev/null", O_WRONLY | O_CLOEXEC), STDOUT_FILENO);
      if (as_nobody &&
          (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0)) {
        _exit(127);
      }
      execv(program.c_str(), argv.data());
      _exit(127);
    }
    if (pid > 0) {
      setpgid(pid, pid);
      groups_.push_back(pid);
      unreaped_.push_back(pid);
    }
    return pid;
  }

  // The exit status of our child `pid` if it has ended, else -1.
  int reap_now(pid_t pid) {
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) != pid) return -1;
    unreaped_.erase(std::find(unreaped_.begin(), unreaped_.end(), pid));
    return status;
  }

  // Starts `process`, made from its file, and returns its pid once it runs.
  void start(const Process& process, pid_t* pid) {
    const std::string file = unique(process.file);
    if (!exists(file)) {
      if (process.kind == kBinary) {
        write(file, read("/bin/sleep"), 0755);
      } else if (process.kind == kSymlink) {
        ASSERT_EQ(symlink("/bin/sleep", file.c_str()), 0);
      } else {
        write(file, "#!/bin/sh\nwhile :; do sleep 1; done\n", 0755);
      }
    }
    const std::string argv0 = process.argv0 ? unique(process.argv0) : "./" + file;
    if (process.start == kGrandchild) {
      const std::string pid_file = "grandchild-" + std::to_string(++grandchildren_);
      pid_t shell = spawn("/bin/sh",
                          {"sh", "-c", "\"$0\" 60 & echo $! >\"$1\"; wait", "./" + file, pid_file});
      ASSERT_GT(shell, 0);
      ASSERT_TRUE(eventually([&] {
        std::string text = read(pid_file);
        return !text.empty() && text.back() == '\n';
      }));
      *pid = std::stoi(read(pid_file));
    } else {
      if (process.start == kOtherUser) {
        // mkdtemp made the directory ours alone.
        ASSERT_EQ(chmod(dir_.c_str(), 0755), 0);
      }
      *pid = spawn("./" + file, {argv0, "60"}, process.start == kOtherUser);
      ASSERT_GT(*pid, 0);
    }
    ASSERT_TRUE(eventually([&] { return runs_file(*pid, file); })) << file << " did not start";
    if (process.deleted) {
      ASSERT_EQ(unlink(file.c_str()), 0);
    }
  }

 private:
  std::vector<pid_t> groups_;
  std::vector<pid_t> unreaped_;
  int grandchildren_ = 0;
};

class TaskKillCaseTest : public TaskKillTest, public testing::WithParamInterface<Case> {};

TEST_P(TaskKillCaseTest, StopsExactlyTheProcessesStartedFromTheName) {
  const Case& test_case = GetParam();
  for (const Process& process : test_case.processes) {
    if (process.start == kOtherUser && getuid() != 0) GTEST_SKIP() << "needs root for setuid";
  }
  std::vector<pid_t> pids(test_case.processes.size());
  for (size_t i = 0; i < pids.size(); ++i) {
    ASSERT_NO_FATAL_FAILURE(start(test_case.processes[i], &pids[i]));
  }

  const auto before = steady_clock::now();
  stop_processes_named(unique(test_case.name));
  EXPECT_LT(steady_clock::now() - before, kQuick);

  for (size_t i = 0; i < pids.size(); ++i) {
    const Process& process = test_case.processes[i];
    SCOPED_TRACE(testing::Message() << "process " << i << ": " << process.file);
    if (process.start == kGrandchild) {
      EXPECT_EQ(has_ended(pids[i]), !process.survives);
      continue;
    }
    // Without waiting: the call must return only once the process is gone.
    int status = reap_now(pids[i]);
    if (process.survives) {
      EXPECT_EQ(status, -1);
    } else {
      ASSERT_NE(status, -1) << "still running";
      EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "status " << status;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, TaskKillCaseTest, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<Case>& info) { return info.param.label; });

// A copy of this test program stops its own name: it must kill another
// instance of itself, and live on.
TEST_F(TaskKillTest, NeverStopsTheCallingProcess) {
  const std::string copy = unique("self");
  char self[4096];
  ssize_t size = readlink("/proc/self/exe", self, sizeof self);
  ASSERT_GT(size, 0);
  write(copy, read(std::string(self, static_cast<size_t>(size))), 0755);

  const std::string filter = "--gtest_filter=TaskKillHelper.DISABLED_";
  pid_t sibling =
      spawn("./" + copy, {copy, "--gtest_also_run_disabled_tests", filter + "Sleep"}, false, true);
  ASSERT_GT(sibling, 0);
  ASSERT_TRUE(eventually([&] { return runs_file(sibling, copy); }));
  pid_t stopper = spawn(
      "./" + copy, {copy, "--gtest_also_run_disabled_tests", filter + "StopOwnName"}, false, true);
  ASSERT_GT(stopper, 0);

  int status = -1;
  ASSERT_TRUE(eventually([&] { return (status = reap_now(stopper)) != -1; }));
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
  status = reap_now(sibling);
  EXPECT_TRUE(status != -1 && WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)
      << "status " << status;
}

// Run only by the test above, in copies of this program.
TEST(TaskKillHelper, DISABLED_Sleep) { sleep(30); }

TEST(TaskKillHelper, DISABLED_StopOwnName) {
  char self[4096];
  ssize_t size = readlink("/proc/self/exe", self, sizeof self);
  ASSERT_GT(size, 0);
  std::string path(self, static_cast<size_t>(size));
  stop_processes_named(path.substr(path.rfind('/') + 1));
}

}  // namespace
