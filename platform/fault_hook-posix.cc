#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>

#include "platform/fault_codes.h"
#include "platform/fault_hook.h"
#include "platform/fault_reporter.h"

namespace {

const int kFaultSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGABRT};
constexpr int kSignalCount = sizeof kFaultSignals / sizeof kFaultSignals[0];
const size_t kAltStackSize = 64 * 1024;

// The fault record: whole values, so a reader never sees half a fault.
std::atomic<uint32_t> g_fault_code{0};
// The thread whose fault is being reported, 0 while none is.
std::atomic<pid_t> g_reporting_thread{0};

std::atomic<FaultHandler> g_handler{nullptr};
struct sigaction g_previous[kSignalCount];
bool g_installed = false;

// Pipe ends to and from the reporter; -1 without one.
int g_to_reporter = -1;
int g_from_reporter = -1;

// Where this thread's stack ends, to tell an overflow from other faults.
thread_local uintptr_t t_stack_low = 0;
thread_local void* t_alt_stack = nullptr;

bool in_stack_guard(const void* address) {
  uintptr_t at = reinterpret_cast<uintptr_t>(address);
  // The guard lies below the lowest usable address; a big frame may step
  // past a single guard page, so allow some slack either side.
  return t_stack_low != 0 && at < t_stack_low + 64 * 1024 && at + 1024 * 1024 >= t_stack_low;
}

}  // namespace

bool write_all(int fd, const void* data, size_t size) {
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t n = write(fd, bytes, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool read_all(int fd, void* data, size_t size) {
  char* bytes = static_cast<char*>(data);
  while (size > 0) {
    ssize_t n = read(fd, bytes, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

namespace {

// Runs on the faulting thread, on its alternate stack, with every signal
// blocked: only async-signal-safe calls from here on.
void on_fault(int signal_number, siginfo_t* info, void*) {
  pid_t self = static_cast<pid_t>(syscall(SYS_gettid));
  pid_t none = 0;
  if (!g_reporting_thread.compare_exchange_strong(none, self)) {
    // The report itself faulted: end now. Another thread's report is up:
    // it ends the process once answered.
    if (none == self) _exit(0);
    for (;;) pause();
  }
  bool overflow = signal_number == SIGSEGV && in_stack_guard(info->si_addr);
  g_fault_code.store(fault_code_from_signal(signal_number, info->si_code, overflow));
  FaultHandler handler = g_handler.load();
  if (handler != nullptr) {
    FaultMessage message = {g_fault_code.load(), handler};
    char answer;
    if (g_to_reporter >= 0) {
      // A reporter that is gone answers with end of file; SIGPIPE is
      // blocked here and discarded by the exit.
      if (write_all(g_to_reporter, &message, sizeof message)) read_all(g_from_reporter, &answer, 1);
    } else {
      handler();
    }
  }
  _exit(0);
}

}  // namespace

void use_fault_reporter(int to_reporter, int from_reporter) {
  g_to_reporter = to_reporter;
  g_from_reporter = from_reporter;
}

void fault_hook_enter_thread() {
  if (t_alt_stack == nullptr) {
    void* stack =
        mmap(nullptr, kAltStackSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (stack == MAP_FAILED) return;
    stack_t alt = {};
    alt.ss_sp = stack;
    alt.ss_size = kAltStackSize;
    if (sigaltstack(&alt, nullptr) != 0) {
      munmap(stack, kAltStackSize);
      return;
    }
    t_alt_stack = stack;
  }
  pthread_attr_t attributes;
  if (pthread_getattr_np(pthread_self(), &attributes) == 0) {
    void* low;
    size_t size;
    if (pthread_attr_getstack(&attributes, &low, &size) == 0) {
      t_stack_low = reinterpret_cast<uintptr_t>(low);
    }
    pthread_attr_destroy(&attributes);
  }
}

void fault_hook_leave_thread() {
  if (t_alt_stack == nullptr) return;
  stack_t off = {};
  off.ss_flags = SS_DISABLE;
  sigaltstack(&off, nullptr);
  munmap(t_alt_stack, kAltStackSize);
  t_alt_stack = nullptr;
  t_stack_low = 0;
}

void install_fault_hook(FaultHandler handler) {
  if (g_installed) return;
  fault_hook_enter_thread();
  g_handler.store(handler);
  struct sigaction action = {};
  action.sa_sigaction = on_fault;
  action.sa_flags = SA_SIGINFO | SA_ONSTACK;
  sigfillset(&action.sa_mask);
  for (int i = 0; i < kSignalCount; ++i) sigaction(kFaultSignals[i], &action, &g_previous[i]);
  g_installed = true;
}

void remove_fault_hook() {
  if (!g_installed) return;
  for (int i = 0; i < kSignalCount; ++i) sigaction(kFaultSignals[i], &g_previous[i], nullptr);
  g_handler.store(nullptr);
  g_installed = false;
}

const char* fault_description() { return describe_fault_code(g_fault_code.load()); }

int32_t fault_line() { return -1; }

const char* fault_file() { return "OnError line support disabled"; }

void record_fault(uint32_t code) { g_fault_code.store(code); }
