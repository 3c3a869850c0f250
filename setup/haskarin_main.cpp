// Haskarin -p TARGET [-w VALUE]: its exit code says what it installed.
#include "installer.h"

int main(int argc, char** argv) {
  haskarin::CApplication application;
  application.Parse(CommandLineText(argc, argv));
  return application.Install();
}
