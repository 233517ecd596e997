#include "update/install.h"

#include "app/updater.h"
#include "platform/files.h"
#include "platform/http.h"
#include "platform/launch.h"
#include "platform/message_box.h"
#include "text/command_line.h"
#include "update/session.h"

void install_update() {
  UpdateSession& s = g_session;
  s.downloading = 0;
  http_download_finish(s.transfer);
  // Fails, and leaves the name as it is, when an earlier run left an
  // "updater2.exe" behind; that run's cleanup then removes it.
  rename_file("updater.exe", "updater2.exe");
  bool moved_aside = file_size("updater.exe") == -1;

  int status = -1;
  launch_program("unzip.exe", "-o -qq " + quote_if_blank(s.archive_file_name), "",
                 kLaunchWait | kLaunchHidden, &status);
  // UnZip exits with 1 for warnings only; 2 and up mean the archive did not
  // arrive whole, and an "updater.exe" it wrote may be cut short (a full
  // disk): the old program is the safer one to hand over to.
  bool installed = status == 0 || status == 1;
  if (moved_aside && !installed) delete_file("updater.exe", true);
  // No usable "updater.exe" came with the archive: the old one takes its
  // name back, before the user is asked anything, so that a run ended at
  // the box does not leave the folder without an updater.
  if (file_size("updater.exe") <= 0) rename_file("updater2.exe", "updater.exe");

  if (installed) {
    message_box("Done", "Update complete! Press OK to launch the updated application!",
                kMessageBoxInformation);
  } else {
    message_box("Error", "The update could not be installed. Press OK to launch the application.",
                kMessageBoxOk);
  }
  make_executable("updater.exe");
  launch_program("updater.exe", "cln " + quote_if_blank(s.executable_name), "", kLaunchNoOptions);
  end_program();
}
