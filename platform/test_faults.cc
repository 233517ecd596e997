#include "platform/test_faults.h"

#include <stdlib.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

volatile bool g_keep_going = true;

// Recursion the compiler cannot turn into a loop.
int recurse(int depth) {
  volatile char frame[512];
  frame[0] = static_cast<char>(depth);
  if (!g_keep_going) return frame[0];
  return recurse(depth + 1) + frame[0];
}

}  // namespace

void test_fault_point(const char* point) {
  const char* wanted = getenv("UPDATER_TEST_FAULT");
  if (wanted == nullptr) return;
  std::string wanted_fault = wanted;
  size_t colon = wanted_fault.find(':');
  if (wanted_fault.substr(0, colon) != point) return;
  std::string kind = colon == std::string::npos ? "null" : wanted_fault.substr(colon + 1);
  if (kind == "div0") {
    volatile int zero = 0, seven = 7;
    volatile int result = seven / zero;
    (void)result;
  } else if (kind == "stack") {
    std::fprintf(stderr, "%d\n", recurse(0));
  } else if (kind == "abort") {
    abort();
  } else {
    int* volatile target = nullptr;
    *static_cast<volatile int*>(target) = 1;
  }
}
