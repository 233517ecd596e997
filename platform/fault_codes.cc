#include "platform/fault_codes.h"

#include <signal.h>

namespace {

struct FaultText {
  uint32_t code;
  const char* text;
};

// Looked up first match, in this order.
const FaultText kFaultTexts[] = {
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
};

// What an abort maps to: a library gave up, which no row describes.
const uint32_t kUnknownFault = 0xE0000001;

}  // namespace

const char* describe_fault_code(uint32_t code) {
  for (const FaultText& row : kFaultTexts) {
    if (row.code == code) return row.text;
  }
  return "Unknown error code";
}

uint32_t fault_code_from_signal(int signal_number, int signal_code, bool stack_overflow) {
  switch (signal_number) {
    case SIGSEGV:
      return stack_overflow ? 0xC00000FD : 0xC0000005;
    case SIGBUS:
      return signal_code == BUS_ADRALN ? 0x80000002 : 0xC0000006;
    case SIGFPE:
      switch (signal_code) {
        case FPE_INTDIV:
          return 0xC0000094;
        case FPE_INTOVF:
          return 0xC0000095;
        case FPE_FLTDIV:
          return 0xC000008E;
        case FPE_FLTOVF:
          return 0xC0000091;
        case FPE_FLTUND:
          return 0xC0000093;
        case FPE_FLTRES:
          return 0xC000008F;
        case FPE_FLTINV:
          return 0xC0000090;
        case FPE_FLTSUB:
          return 0xC000008C;
      }
      return 0xC0000090;
    case SIGILL:
      return signal_code == ILL_PRVOPC || signal_code == ILL_PRVREG ? 0xC0000096 : 0xC000001D;
    case SIGTRAP:
      return signal_code == TRAP_TRACE ? 0x80000004 : 0x80000003;
  }
  return kUnknownFault;
}
