#include "app/updater.h"
#include "platform/process.h"

int main(int argc, char** argv) {
  set_process_arguments(argc, argv);
  updater_main();
}
