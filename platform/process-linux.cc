#include <unistd.h>

#include <cstdio>
#include <vector>

#include "platform/process.h"
#include "text/command_line.h"

namespace {

int g_argc = 0;
char** g_argv = nullptr;

}  // namespace

void set_process_arguments(int argc, char** argv) {
  g_argc = argc;
  g_argv = argv;
}

std::string command_line_text() {
  std::vector<std::string> arguments(g_argv, g_argv + g_argc);
  return join_command_line(arguments);
}

void exit_process() {
  std::fflush(stdout);
  std::fflush(stderr);
  _exit(0);
}
