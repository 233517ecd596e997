// The last word on a fatal fault.
#ifndef UPDATER_REPORT_REPORT_H_
#define UPDATER_REPORT_REPORT_H_

// The fault hook's handler: shows what faulted in a Yes/No box and, on Yes,
// puts that report on the clipboard. Returns 0. Runs wherever the hook runs
// its handler, with the fault recorded.
int report_runtime_error();

#endif  // UPDATER_REPORT_REPORT_H_
