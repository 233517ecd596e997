#include "update/check.h"

#include "app/updater.h"

void check_for_update() {
  validate_parameters();
  // Fetching and comparing the latest version is not built yet; until it is,
  // the run ends as it does when the versions are equal.
  remove_extraction_tool();
  end_program();
}
