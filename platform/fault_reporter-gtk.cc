#include <fcntl.h>
#include <gtk/gtk.h>
#include <stdlib.h>
#include <unistd.h>

#include "platform/clipboard.h"
#include "platform/fault_hook.h"
#include "platform/fault_reporter.h"

namespace {

[[noreturn]] void run_reporter(int from_program, int to_program) {
  FaultMessage message;
  // End of file: the program ended normally, and so does its reporter.
  if (!read_all(from_program, &message, sizeof message)) _exit(0);
  record_fault(message.code);
  setenv("GDK_SCALE", "1", 1);
  setenv("GDK_DPI_SCALE", "1", 1);
  gtk_init_check(nullptr, nullptr);
  message.handler();
  char answer = 1;
  write_all(to_program, &answer, 1);
  // The program ends now. What the report put on the clipboard lasts only
  // as long as somebody serves it: this process does, detached from the
  // program's session and output.
  close(from_program);
  close(to_program);
  setsid();
  int null = open("/dev/null", O_RDWR | O_CLOEXEC);
  if (null >= 0) {
    dup2(null, 0);
    dup2(null, 1);
    dup2(null, 2);
  }
  serve_clipboard_until_taken();
  _exit(0);
}

}  // namespace

void start_fault_reporter() {
  int to_reporter[2], from_reporter[2];
  if (pipe2(to_reporter, O_CLOEXEC) != 0) return;
  if (pipe2(from_reporter, O_CLOEXEC) != 0) {
    close(to_reporter[0]);
    close(to_reporter[1]);
    return;
  }
  pid_t pid = fork();
  if (pid == 0) {
    close(to_reporter[1]);
    close(from_reporter[0]);
    run_reporter(to_reporter[0], from_reporter[1]);
  }
  close(to_reporter[0]);
  close(from_reporter[1]);
  if (pid < 0) {
    // No reporter: faults are reported on the faulting thread.
    close(to_reporter[1]);
    close(from_reporter[0]);
    return;
  }
  use_fault_reporter(to_reporter[1], from_reporter[0]);
}
