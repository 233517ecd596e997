// Modal message boxes, the program's only way of telling the user something
// outside the download window.
//
// Main thread only, after `start_platform_services` (the fault report may
// also call it from the faulting thread). Blocks until answered.
#ifndef UPDATER_PLATFORM_MESSAGE_BOX_H_
#define UPDATER_PLATFORM_MESSAGE_BOX_H_

#include <string>

enum MessageBoxKind {
  kMessageBoxOk,           // OK, no icon
  kMessageBoxYesNo,        // Yes (the default) and No, no icon
  kMessageBoxInformation,  // OK and the information icon
};

// Shows `text` under `title`, transient for the program's window when that is
// open and active. Returns true when the user answered Yes; false for No,
// for closing the box, and for the OK kinds. Without a display, writes
// "title: text" to stderr and answers No: nothing goes ahead unconsented.
bool message_box(const std::string& title, const std::string& text, MessageBoxKind kind);

#endif  // UPDATER_PLATFORM_MESSAGE_BOX_H_
