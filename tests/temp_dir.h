// A fresh temporary directory that a test works in, removed afterwards.
#ifndef UPDATER_TESTS_TEMP_DIR_H_
#define UPDATER_TESTS_TEMP_DIR_H_

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

class TempDirTest : public testing::Test {
 public:
  void SetUp() override {
    char pattern[] = "/tmp/updater-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr) << "mkdtemp: " << std::strerror(errno);
    dir_ = pattern;
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr) << std::strerror(errno);
    old_cwd_ = cwd;
    ASSERT_EQ(chdir(dir_.c_str()), 0) << dir_ << ": " << std::strerror(errno);
  }
  void TearDown() override {
    if (!old_cwd_.empty() && chdir(old_cwd_.c_str()) != 0) ADD_FAILURE() << std::strerror(errno);
    if (!dir_.empty()) {
      std::string command = "rm -rf '" + dir_ + "'";
      if (system(command.c_str()) != 0) ADD_FAILURE() << "could not remove " << dir_;
    }
  }

  std::string path(const std::string& name) const { return dir_ + "/" + name; }

  static void write(const std::string& name, const std::string& content, mode_t mode = 0644) {
    std::ofstream(name, std::ios::binary | std::ios::trunc) << content;
    ASSERT_EQ(chmod(name.c_str(), mode), 0) << name << ": " << std::strerror(errno);
  }
  static std::string read(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  static bool exists(const std::string& name) { return access(name.c_str(), F_OK) == 0; }

  std::string dir_;
  std::string old_cwd_;
};

#endif  // UPDATER_TESTS_TEMP_DIR_H_
