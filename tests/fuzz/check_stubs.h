// What the stand-in http_fetch_headers of check_stubs.cc answers and saw.
#ifndef UPDATER_TESTS_FUZZ_CHECK_STUBS_H_
#define UPDATER_TESTS_FUZZ_CHECK_STUBS_H_

#include <string>

extern std::string g_fuzz_headers;      // the answer to every call
extern std::string g_fuzz_headers_url;  // the URL of the last call
extern int g_fuzz_headers_calls;        // calls so far

#endif  // UPDATER_TESTS_FUZZ_CHECK_STUBS_H_
