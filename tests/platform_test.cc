// The Linux implementations of files, launching and the fault hook, used for
// real in a temporary directory.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <sstream>
#include <thread>

#include "platform/files.h"
#include "platform/launch.h"
#include "tests/temp_dir.h"

namespace {

class FilesTest : public TempDirTest {};

TEST_F(FilesTest, FileSize) {
  write("five", "12345");
  write("empty", "");
  ASSERT_EQ(mkdir("dir", 0755), 0);
  // A sparse file beyond 4 GiB: sizes are not cut to 32 bits.
  int fd = open("big", O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
  ASSERT_GE(fd, 0) << std::strerror(errno);
  ASSERT_EQ(ftruncate(fd, 5LL << 30), 0) << std::strerror(errno);
  close(fd);
  struct Case {
    const char* name;
    int64_t size;
  } cases[] = {{"five", 5},     {"empty", 0}, {"dir", -2},
               {"missing", -1}, {"", -1},     {"big", 5LL << 30}};
  for (const Case& c : cases) EXPECT_EQ(file_size(c.name), c.size) << c.name;
}

TEST_F(FilesTest, RenameNeverReplaces) {
  write("a", "A");
  rename_file("a", "b");
  EXPECT_FALSE(exists("a"));
  EXPECT_EQ(read("b"), "A");

  write("c", "C");
  rename_file("c", "b");  // b exists: nothing changes
  EXPECT_EQ(read("b"), "A");
  EXPECT_EQ(read("c"), "C");

  rename_file("missing", "d");
  EXPECT_FALSE(exists("d"));
}

TEST_F(FilesTest, DeleteRemovesReadOnlyFilesAndIgnoresMissingOnes) {
  write("ro", "x", 0444);
  delete_file("ro", true);
  EXPECT_FALSE(exists("ro"));
  write("rw", "x");
  delete_file("rw", false);
  EXPECT_FALSE(exists("rw"));
  delete_file("missing", true);
  ASSERT_EQ(mkdir("dir", 0755), 0);
  delete_file("dir", true);  // not a file: left alone
  EXPECT_TRUE(exists("dir"));
}

class LaunchTest : public TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    const char* path = getenv("PATH");
    old_path_ = path ? path : "";
  }
  void TearDown() override {
    setenv("PATH", old_path_.c_str(), 1);
    TempDirTest::TearDown();
  }

  // A script that writes what it saw (arguments, directory, standard output,
  // session, signal state, descriptor 42) to `report`, an absolute path.
  void write_probe(const std::string& name, const std::string& report) {
    write(name,
          "#!/bin/sh\n"
          "{\n"
          "  for a in \"$@\"; do echo \"arg=$a\"; done\n"
          "  echo \"cwd=$(pwd)\"\n"
          "  echo \"stderr=$(readlink /proc/$$/fd/2)\"\n"
          "  echo \"session=$(cut -d' ' -f6 /proc/$$/stat)\"\n"
          "  echo \"pid=$$\"\n"
          "  grep -E '^Sig(Blk|Ign)' /proc/$$/status | tr -d '\\t' | sed 's/:/=/'\n"
          "  [ -e /proc/$$/fd/42 ] && echo fd42=open || echo fd42=closed\n"
          "} > '" +
              report +
              ".tmp'\n"
              "mv '" +
              report + ".tmp' '" + report + "'\n",
          0755);
  }

  // The report's lines, waiting up to 10 s for a child not waited for.
  std::vector<std::string> report_lines(const std::string& report) {
    for (int i = 0; i < 200 && !exists(report); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    std::vector<std::string> lines;
    std::istringstream in(read(report));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  static std::string value(const std::vector<std::string>& lines, const std::string& key) {
    for (const std::string& line : lines) {
      if (line.compare(0, key.size() + 1, key + "=") == 0) return line.substr(key.size() + 1);
    }
    return "<none>";
  }

  static std::vector<std::string> args(const std::vector<std::string>& lines) {
    std::vector<std::string> found;
    for (const std::string& line : lines) {
      if (line.compare(0, 4, "arg=") == 0) found.push_back(line.substr(4));
    }
    return found;
  }

  std::string old_path_;
};

TEST_F(LaunchTest, WaitsAndPassesArgumentsLikeACommandLine) {
  write_probe("probe.sh", path("report"));
  EXPECT_TRUE(launch_program("probe.sh", "-o \"two words\"  x\"y z\"", "", kLaunchWait));
  ASSERT_TRUE(exists("report")) << "not waited for";
  std::vector<std::string> lines = report_lines(path("report"));
  EXPECT_EQ(args(lines), (std::vector<std::string>{"-o", "two words", "xy z"}));
  EXPECT_EQ(value(lines, "cwd"), dir_);
}

TEST_F(LaunchTest, RunsInTheGivenDirectoryAndFindsTheProgramThere) {
  ASSERT_EQ(mkdir("sub", 0755), 0);
  write_probe("sub/tool.sh", path("report"));
  EXPECT_TRUE(launch_program("tool.sh", "", path("sub"), kLaunchWait));
  EXPECT_EQ(value(report_lines(path("report")), "cwd"), path("sub"));
}

TEST_F(LaunchTest, ProgramNamesWithBlanksAndQuotes) {
  write_probe("My App.sh", path("report1"));
  EXPECT_TRUE(launch_program("My App.sh", "", "", kLaunchWait));
  EXPECT_TRUE(exists("report1"));
  write_probe("quoted.sh", path("report2"));
  EXPECT_TRUE(launch_program("\"quoted.sh\" a", "b", "", kLaunchWait));
  EXPECT_EQ(args(report_lines(path("report2"))), (std::vector<std::string>{"a", "b"}));
}

TEST_F(LaunchTest, SearchesPathForNamesNotInTheDirectory) {
  ASSERT_EQ(mkdir("bin", 0755), 0);
  write_probe("bin/on-path-probe", path("report"));
  setenv("PATH", (path("bin") + ":/usr/bin:/bin").c_str(), 1);
  EXPECT_TRUE(launch_program("on-path-probe", "", "", kLaunchWait));
  EXPECT_TRUE(exists("report"));
}

TEST_F(LaunchTest, ChildStartsCleanAndDetached) {
  write_probe("probe.sh", path("report"));
  // Things the child must not inherit: a descriptor without close-on-exec,
  // a blocked signal, an ignored signal.
  int fd = open("/dev/null", O_RDONLY);
  ASSERT_EQ(dup2(fd, 42), 42);
  sigset_t block, old_mask;
  sigemptyset(&block);
  sigaddset(&block, SIGUSR1);
  pthread_sigmask(SIG_BLOCK, &block, &old_mask);
  struct sigaction ignore = {}, old_action;
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGUSR2, &ignore, &old_action);

  EXPECT_TRUE(launch_program("probe.sh", "", "", kLaunchHidden));

  sigaction(SIGUSR2, &old_action, nullptr);
  pthread_sigmask(SIG_SETMASK, &old_mask, nullptr);
  close(42);
  close(fd);

  std::vector<std::string> lines = report_lines(path("report"));
  ASSERT_FALSE(lines.empty()) << "the child did not run";
  EXPECT_EQ(value(lines, "fd42"), "closed");
  EXPECT_EQ(value(lines, "stderr"), "/dev/null");
  EXPECT_EQ(value(lines, "session"), value(lines, "pid"))
      << "a child not waited for leads its session";
  unsigned long long blocked = std::stoull(value(lines, "SigBlk"), nullptr, 16);
  unsigned long long ignored = std::stoull(value(lines, "SigIgn"), nullptr, 16);
  EXPECT_EQ(blocked & (1ULL << (SIGUSR1 - 1)), 0u);
  EXPECT_EQ(ignored & (1ULL << (SIGUSR2 - 1)), 0u);
}

TEST_F(LaunchTest, WaitedVisibleChildSharesOurSessionAndOutput) {
  write_probe("probe.sh", path("report"));
  EXPECT_TRUE(launch_program("probe.sh", "", "", kLaunchWait));
  std::vector<std::string> lines = report_lines(path("report"));
  EXPECT_EQ(value(lines, "session"), std::to_string(getsid(0)));
  char ours[4096] = {};
  ASSERT_GT(readlink("/proc/self/fd/2", ours, sizeof ours - 1), 0);
  EXPECT_EQ(value(lines, "stderr"), ours) << "not hidden: our own stderr";
}

TEST_F(LaunchTest, HandsWhatCannotRunToTheOpener) {
  ASSERT_EQ(mkdir("bin", 0755), 0);
  write("bin/xdg-open",
        "#!/bin/sh\necho \"$@\" > '" + path("opened") + "'\npwd >> '" + path("opened") + "'\n",
        0755);
  setenv("PATH", (path("bin") + ":/usr/bin:/bin").c_str(), 1);
  ASSERT_EQ(mkdir("docs", 0755), 0);
  write("docs/notes.txt", "not a program");

  EXPECT_TRUE(launch_program("docs/notes.txt", "", "", kLaunchWait));
  EXPECT_EQ(read("opened"), path("docs/notes.txt") + "\n" + path("docs") + "\n");

  EXPECT_TRUE(launch_program("docs/notes.txt", "", dir_, kLaunchWait));
  EXPECT_EQ(read("opened"), path("docs/notes.txt") + "\n" + dir_ + "\n");
}

TEST_F(LaunchTest, NothingToStart) {
  setenv("PATH", path("nowhere").c_str(), 1);  // no opener either
  write("notes.txt", "not a program");
  EXPECT_FALSE(launch_program("notes.txt", "", "", kLaunchWait));
  EXPECT_FALSE(launch_program("no-such-program", "", "", kLaunchNoOptions));
  EXPECT_FALSE(launch_program("", "", "", kLaunchNoOptions));
  EXPECT_FALSE(launch_program("\"\"", "", "", kLaunchNoOptions));
}

}  // namespace
