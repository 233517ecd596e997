// Files in the current directory (or any path given).
//
// Failures are silent by design: the run goes on without the file operation,
// as nothing here is worth stopping an update for. Every descriptor is opened
// close-on-exec, so no started program inherits one. Any thread may call.
#ifndef UPDATER_PLATFORM_FILES_H_
#define UPDATER_PLATFORM_FILES_H_

#include <cstddef>
#include <cstdint>
#include <string>

// Deletes `name`. With `forced`, first gives the owner write permission, the
// counterpart of clearing a read-only attribute. Fails silently.
void delete_file(const std::string& name, bool forced);

// Renames `old_name` to `new_name` atomically, never replacing an existing
// file. Fails silently when `new_name` exists or `old_name` is missing.
void rename_file(const std::string& old_name, const std::string& new_name);

// Size in bytes; -1 when the name is empty or nothing exists there, -2 when
// it is a directory.
int64_t file_size(const std::string& name);

// Writes `size` bytes at the start of `name` in one write, creating the file
// (mode 0755) when missing and never truncating it: a longer file keeps its
// tail. Makes sure the owner may execute it. Fails silently, for instance
// when the file is read-only or is a program that is running.
void write_program_file(const std::string& name, const unsigned char* data, size_t size);

// Gives the owner the right to execute `name`, as a program that came in a
// ZIP archive from elsewhere may lack it. Fails silently.
void make_executable(const std::string& name);

#endif  // UPDATER_PLATFORM_FILES_H_
