// What runs when libtelodrv.so is loaded. Only the shared library has it: the driver's test programs call
// InitOsVersion themselves, on a machine of their own.
#include "module.h"

namespace {

__attribute__((constructor)) void OnLoad() { InitOsVersion(); }

}  // namespace
