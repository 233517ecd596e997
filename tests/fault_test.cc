// The fault hook with the real signals, the fault codes, and the reporter
// process.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <thread>

#include "platform/fault_codes.h"
#include "platform/fault_hook.h"
#include "platform/launch.h"

namespace {

// These tests fault on purpose; a sanitizer would report the fault first.
#ifdef UPDATER_SANITIZED
#define SKIP_WHEN_SANITIZED() GTEST_SKIP() << "a sanitizer owns the fault signals"
#else
#define SKIP_WHEN_SANITIZED() (void)0
#endif

TEST(FaultCodes, EveryRowAndNoOther) {
  struct Case {
    uint32_t code;
    const char* text;
  } cases[] = {
      {0xC0000005, "Invalid memory access"},
      {0xC000008C, "Array bounds exceeded"},
      {0x80000003, "Debugger breakpoint reached"},
      {0x80000002, "Misaligned data access"},
      {0xC000008D, "Denormal floating-point operand"},
      {0xC000008E, "Division by zero (floating-point)"},
      {0xC000008F, "Inexact floating-point result"},
      {0xC0000090, "Invalid floating-point operation"},
      {0xC0000091, "Floating-point overflow (exponent to great)"},
      {0xC0000092, "Floating-point stack overflow or underflow"},
      {0xC0000093, "Floating-point underflow (exponent too small)"},
      {0xC000001D, "Illegal instruction"},
      {0xC0000006, "Memory page error"},
      {0xC0000094, "Division by zero "},
      {0xC0000095, "Integer overflow"},
      {0xC0000026, "Exception handler returned unknown value"},
      {0xC0000025, "Exception handler tried to continue after non-continuable exception"},
      {0xC0000096, "Privileged instruction"},
      {0x80000004, "Single step trap"},
      {0xC00000FD, "Stack overflow"},
      {0, "Unknown error code"},
      {0xC0000004, "Unknown error code"},
      {0xE0000001, "Unknown error code"},
  };
  for (const Case& c : cases)
    EXPECT_STREQ(describe_fault_code(c.code), c.text) << std::hex << c.code;
}

TEST(FaultCodes, FromSignals) {
  struct Case {
    int signal, code;
    bool overflow;
    const char* text;
  } cases[] = {
      {SIGSEGV, SEGV_MAPERR, false, "Invalid memory access"},
      {SIGSEGV, SEGV_ACCERR, true, "Stack overflow"},
      {SIGBUS, BUS_ADRALN, false, "Misaligned data access"},
      {SIGBUS, BUS_OBJERR, false, "Memory page error"},
      {SIGFPE, FPE_INTDIV, false, "Division by zero "},
      {SIGFPE, FPE_INTOVF, false, "Integer overflow"},
      {SIGFPE, FPE_FLTDIV, false, "Division by zero (floating-point)"},
      {SIGFPE, FPE_FLTOVF, false, "Floating-point overflow (exponent to great)"},
      {SIGFPE, FPE_FLTUND, false, "Floating-point underflow (exponent too small)"},
      {SIGFPE, FPE_FLTRES, false, "Inexact floating-point result"},
      {SIGFPE, FPE_FLTINV, false, "Invalid floating-point operation"},
      {SIGFPE, FPE_FLTSUB, false, "Array bounds exceeded"},
      {SIGFPE, 0, false, "Invalid floating-point operation"},
      {SIGILL, ILL_PRVOPC, false, "Privileged instruction"},
      {SIGILL, ILL_PRVREG, false, "Privileged instruction"},
      {SIGILL, ILL_ILLOPC, false, "Illegal instruction"},
      {SIGTRAP, TRAP_BRKPT, false, "Debugger breakpoint reached"},
      {SIGTRAP, TRAP_TRACE, false, "Single step trap"},
      {SIGABRT, 0, false, "Unknown error code"},
  };
  for (const Case& c : cases) {
    EXPECT_STREQ(describe_fault_code(fault_code_from_signal(c.signal, c.code, c.overflow)), c.text)
        << c.signal << "/" << c.code;
  }
}

int say_what_faulted() {
  std::fprintf(stderr, "[%s]", fault_description());
  return 0;
}

// Recursion the compiler cannot turn into a loop; the condition is never
// false, but the compiler cannot know.
volatile bool g_keep_going = true;
int overflow_stack(int depth) {
  volatile char frame[256];
  frame[0] = static_cast<char>(depth);
  if (!g_keep_going) return frame[0];
  return overflow_stack(depth + 1) + frame[0];
}

void fault_now(int kind) {
  switch (kind) {
    case 0: {
      int* volatile p = nullptr;
      *static_cast<volatile int*>(p) = 1;
      break;
    }
    case 1: {
      volatile int zero = 0, seven = 7;  // 1 / x compiles to a compare
      volatile int result = seven / zero;
      (void)result;
      break;
    }
    case 2:
      abort();
    case 3:
      std::fprintf(stderr, "%d", overflow_stack(0));
      break;
  }
}

const char* const kExpected[] = {"\\[Invalid memory access\\]", "\\[Division by zero \\]",
                                 "\\[Unknown error code\\]", "\\[Stack overflow\\]"};

void fault_on_a_thread(int kind) {
  std::thread([kind] {
    fault_hook_enter_thread();
    fault_now(kind);
  }).join();
}

TEST(FaultHookDeathTest, ReportsTheFaultAndEndsWithCodeZeroOnAnyThread) {
  SKIP_WHEN_SANITIZED();
  for (int kind = 0; kind < 4; ++kind) {
    SCOPED_TRACE(kind);
    EXPECT_EXIT(
        {
          install_fault_hook(say_what_faulted);
          fault_now(kind);
        },
        testing::ExitedWithCode(0), kExpected[kind]);
    EXPECT_EXIT(
        {
          install_fault_hook(say_what_faulted);
          fault_on_a_thread(kind);
        },
        testing::ExitedWithCode(0), kExpected[kind]);
  }
}

TEST(FaultHookDeathTest, RemovedHookLetsFaultsKill) {
  SKIP_WHEN_SANITIZED();
  EXPECT_EXIT(
      {
        install_fault_hook(say_what_faulted);
        remove_fault_hook();
        fault_now(0);
      },
      testing::KilledBySignal(SIGSEGV), "^$");
  EXPECT_EXIT(
      {
        install_fault_hook(say_what_faulted);
        remove_fault_hook();
        fault_on_a_thread(1);
      },
      testing::KilledBySignal(SIGFPE), "^$");
}

// With a reporter the handler runs there, in a process of its own whose
// parent is the faulting one, which waits for it.
pid_t g_program = 0;
int say_where() {
  std::fprintf(stderr, "[%s] %s", fault_description(),
               getpid() != g_program && getppid() == g_program ? "reported apart" : "in place");
  return 0;
}

TEST(FaultReporterDeathTest, TheReportRunsInTheReporter) {
  SKIP_WHEN_SANITIZED();
  for (int kind : {0, 3}) {
    EXPECT_EXIT(
        {
          g_program = getpid();
          start_fault_reporter();
          install_fault_hook(say_where);
          fault_on_a_thread(kind);
        },
        testing::ExitedWithCode(0), std::string(kExpected[kind]) + " reported apart");
  }
}

// The reporter of a run that ends normally ends with it, even while a
// program the run started is still going.
TEST(FaultReporter, EndsWithANormalRun) {
  int pipe_fds[2];
  ASSERT_EQ(pipe(pipe_fds), 0);
  pid_t run = fork();
  ASSERT_GE(run, 0);
  if (run == 0) {
    start_fault_reporter();
    install_fault_hook(say_where);
    std::ifstream children("/proc/self/task/" + std::to_string(getpid()) + "/children");
    pid_t reporter = 0;
    children >> reporter;
    if (write(pipe_fds[1], &reporter, sizeof reporter) != sizeof reporter) _exit(1);
    launch_program("/bin/sleep", "5", "", kLaunchHidden);  // not holding our output open
    _exit(0);
  }
  close(pipe_fds[1]);
  pid_t reporter = 0;
  ASSERT_EQ(read(pipe_fds[0], &reporter, sizeof reporter), static_cast<ssize_t>(sizeof reporter));
  close(pipe_fds[0]);
  int status;
  ASSERT_EQ(waitpid(run, &status, 0), run);
  ASSERT_GT(reporter, 0);
  auto gone = [reporter] {
    std::ifstream stat("/proc/" + std::to_string(reporter) + "/stat");
    std::string pid, name, state;
    return !(stat >> pid >> name >> state) || state == "Z";
  };
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
  while (!gone() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_TRUE(gone()) << "reporter " << reporter << " outlived the run";
}

}  // namespace
