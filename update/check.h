// The update check: from the parameters to the user's consent.
#ifndef UPDATER_UPDATE_CHECK_H_
#define UPDATER_UPDATE_CHECK_H_

// Validates the parameters (ending the run with the "Error" box when one is
// missing), then checks for an update. Returns only after the user closed
// the download window; every other outcome ends the run. Main thread.
void check_for_update();

#endif  // UPDATER_UPDATE_CHECK_H_
