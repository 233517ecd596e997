#include "report/report.h"

#include <string>

#include "platform/clipboard.h"
#include "platform/fault_hook.h"
#include "platform/message_box.h"
#include "text/text.h"

int report_runtime_error() {
  std::string report;
  if (!text_equals(fault_file(), "OnError line support disabled")) {
    report += "File: " + std::string(fault_file()) + "\n";
  }
  if (fault_line() != -1) report += "Line: " + format_integer(fault_line()) + "\n";
  report += "\n" + std::string(fault_description());
  if (message_box(
          "Tessel Runtime Error",
          "A runtime error occured.\n" + report + "\nWould you like To copy this To the clipboard?",
          kMessageBoxYesNo)) {
    set_clipboard_text(report);
  }
  return 0;
}
