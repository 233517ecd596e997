// The last word on a fatal fault.
#ifndef UPDATER_REPORT_REPORT_H_
#define UPDATER_REPORT_REPORT_H_

// The fault hook's handler: runs on the faulting thread, returns 0.
int report_runtime_error();

#endif  // UPDATER_REPORT_REPORT_H_
