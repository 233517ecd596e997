#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/files.h"

// Every failure below is ignored on purpose: the caller goes on as if the
// operation had not been asked for, and nothing is reported or logged.

void delete_file(const std::string& name, bool forced) {
  struct stat info;
  if (forced && lstat(name.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
    chmod(name.c_str(), (info.st_mode & 07777) | S_IWUSR);
  }
  unlink(name.c_str());
}

void rename_file(const std::string& old_name, const std::string& new_name) {
  if (renameat2(AT_FDCWD, old_name.c_str(), AT_FDCWD, new_name.c_str(), RENAME_NOREPLACE) == 0) {
    return;
  }
  // Some file systems do not know the flag; a hard link is just as unable to
  // replace an existing name.
  if (errno == EINVAL || errno == ENOSYS) {
    if (link(old_name.c_str(), new_name.c_str()) == 0) unlink(old_name.c_str());
  }
}

int64_t file_size(const std::string& name) {
  struct stat info;
  if (name.empty() || stat(name.c_str(), &info) != 0) return -1;
  if (S_ISDIR(info.st_mode)) return -2;
  return static_cast<int64_t>(info.st_size);
}

void write_program_file(const std::string& name, const unsigned char* data, size_t size) {
  int fd = open(name.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0755);
  if (fd < 0) return;
  // One write at offset 0 and no truncation: a longer file keeps its tail.
  // A short write goes unnoticed, like a failed open.
  ssize_t written = pwrite(fd, data, size, 0);
  (void)written;
  // A file of that name left by an archive from elsewhere may lack the
  // execute bit, and the program must be able to run it.
  struct stat info;
  if (fstat(fd, &info) == 0 && (info.st_mode & S_IXUSR) == 0) {
    fchmod(fd, (info.st_mode & 07777) | S_IXUSR);
  }
  close(fd);
}

void make_executable(const std::string& name) {
  struct stat info;
  if (stat(name.c_str(), &info) == 0 && S_ISREG(info.st_mode) && (info.st_mode & S_IXUSR) == 0) {
    chmod(name.c_str(), (info.st_mode & 07777) | S_IXUSR);
  }
}
