// Points where the desktop tests of the fault report raise a real fault.
// They exist only in the test build of the program (UPDATER_TEST_FAULTS);
// in the shipped program they compile to nothing.
#ifndef UPDATER_PLATFORM_TEST_FAULTS_H_
#define UPDATER_PLATFORM_TEST_FAULTS_H_

#ifdef UPDATER_TEST_FAULTS
// Raises the fault that UPDATER_TEST_FAULT names ("POINT:KIND", KIND one of
// null, div0, stack, abort) when POINT is `point`; otherwise does nothing.
void test_fault_point(const char* point);
#define TEST_FAULT_POINT(point) test_fault_point(point)
#else
#define TEST_FAULT_POINT(point) ((void)0)
#endif

#endif  // UPDATER_PLATFORM_TEST_FAULTS_H_
