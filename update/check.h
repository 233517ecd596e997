// The update check: from the parameters to the user's consent.
//
// Main thread only, before any window exists.
#ifndef UPDATER_UPDATE_CHECK_H_
#define UPDATER_UPDATE_CHECK_H_

#include <string>

// Validates the parameters, fetches the latest version, and when it differs
// from the installed one asks the user whether to download the update.
// Returns only after the user closed the download window; every other
// outcome ends the run.
void check_for_update();

// The body at `url` as displayable text; "" when nothing usable came (a
// failed request, an error status, an empty body, a body starting with NUL).
std::string fetch_text(const std::string& url);

// Sets the session's archive size from the Content-Length of the final
// response for the archive URL; leaves it at 0 when there is none.
void probe_archive_size();

#endif  // UPDATER_UPDATE_CHECK_H_
