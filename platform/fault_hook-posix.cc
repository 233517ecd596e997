#include <signal.h>
#include <unistd.h>

#include <atomic>

#include "platform/fault_hook.h"

namespace {

const int kFaultSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGABRT};
constexpr int kSignalCount = sizeof kFaultSignals / sizeof kFaultSignals[0];

std::atomic<FaultHandler> g_handler{nullptr};
struct sigaction g_previous[kSignalCount];
bool g_installed = false;

void on_fault(int, siginfo_t*, void*) {
  FaultHandler handler = g_handler.load();
  if (handler != nullptr) handler();
  // Whatever the handler did, the faulting code must not resume, and every
  // end of the run has exit code 0.
  _exit(0);
}

}  // namespace

void install_fault_hook(FaultHandler handler) {
  if (g_installed) return;
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
