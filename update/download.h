// The download: stopping the application, the transfer, and the window that
// shows its progress. Main thread only.
#ifndef UPDATER_UPDATE_DOWNLOAD_H_
#define UPDATER_UPDATE_DOWNLOAD_H_

// Stops the application, starts the archive transfer and runs the download
// window. Returns only after a close request of the window; success goes on
// to the install, and Cancel ends the run.
void start_download();

// The window's loop; returns only after a close request.
void run_progress_window();

// Cancel: aborts the transfer, deletes the archive and the extraction tool,
// and ends the run. Never returns.
[[noreturn]] void on_cancel_clicked();

#endif  // UPDATER_UPDATE_DOWNLOAD_H_
