// Haskarout -p TARGET: 1 when the command line names no usable folder, else 0.
#include "uninstaller.h"

int main(int argc, char** argv) {
  haskarout::CApplication application;
  if (!application.Parse(CommandLineText(argc, argv))) return haskarout::kNoFolder;
  application.Uninstall();
  return haskarout::kUninstalled;
}
