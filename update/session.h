// The run-wide state: one record, owned by the main thread for the whole run.
#ifndef UPDATER_UPDATE_SESSION_H_
#define UPDATER_UPDATE_SESSION_H_

#include <cstdint>
#include <string>

#include "platform/http.h"

struct VersionNumbers {
  int32_t major = 0;
  int32_t minor = 0;
  int32_t patch = 0;
};

struct UpdateSession {
  // Update mode's five parameters, exactly as received.
  std::string product_name;
  std::string installed_version_text;
  std::string check_url;
  std::string archive_url;
  std::string executable_name;

  std::string cleanup_target;  // cleanup mode's program to launch
  VersionNumbers installed_version;
  std::string updater_version;
  std::string archive_file_name;
  // The archive's Content-Length, exact (a double holds every whole number
  // up to 2^53), and in whole megabytes for the question; 0 until known.
  double archive_size_bytes = 0.0;
  double archive_size_mb = 0.0;
  HttpTransferHandle transfer;  // the archive download, once started
  int downloading = 0;          // 0 or 1: ticks are handled only while 1
};

// The one instance; every field empty or zero until start-up fills it.
extern UpdateSession g_session;

#endif  // UPDATER_UPDATE_SESSION_H_
