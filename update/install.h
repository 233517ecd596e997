// Installing a downloaded archive and handing over to a second run.
#ifndef UPDATER_UPDATE_INSTALL_H_
#define UPDATER_UPDATE_INSTALL_H_

// Extracts the complete archive into the current directory, tells the user,
// and starts "updater.exe" in cleanup mode, which starts the application.
// The running "updater.exe" steps aside as "updater2.exe" so that the
// archive can bring a new one. Main thread; never returns.
[[noreturn]] void install_update();

#endif  // UPDATER_UPDATE_INSTALL_H_
