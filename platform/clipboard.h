// The desktop clipboard.
#ifndef UPDATER_PLATFORM_CLIPBOARD_H_
#define UPDATER_PLATFORM_CLIPBOARD_H_

#include <string>

// Replaces the clipboard's contents with `text`. Nothing happens, and nothing
// is said, when there is no display. The thread that runs the toolkit only.
void set_clipboard_text(const std::string& text);

// A copied text lives only while a process serves it: hands the text that
// `set_clipboard_text` set to a clipboard manager when one runs, else serves
// it until another application takes the clipboard over. Returns at once
// when nothing was set. Blocks; meant as a process's last act.
void serve_clipboard_until_taken();

#endif  // UPDATER_PLATFORM_CLIPBOARD_H_
