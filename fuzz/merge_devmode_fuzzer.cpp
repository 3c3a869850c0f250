// The merge of a caller's settings record into the printer's defaults: the bytes are a program's record, whose
// own dmSize and dmDriverExtra are kept within what the program really handed over, as the spooler's callers
// guarantee.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "printer_fuzzing.h"
#include "printer_settings/printer_values.h"
#include "teloui/teloui.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const auto& printer = *new fuzzing::VirtualPrinter();
  static const DriverDevMode defaults = [] {
    DriverDevMode record{};
    BuildDefaultDevMode(&record, printer.handle);
    return record;
  }();
  const std::vector<BYTE> bytes = fuzzing::CallerRecord(data, size);
  DriverDevMode merged = defaults;
  MergeDevMode(&merged, reinterpret_cast<const DEVMODEW*>(bytes.data()), printer.handle);
  // What the driver and the pages rely on.
  if (merged.priv.Folder[kDriverPathChars - 1] != 0 || merged.dm.dmFormName[CCHFORMNAME - 1] != 0 ||
      merged.priv.FontEmbed > 3 || merged.dm.dmScale < 1)
    __builtin_trap();
  return 0;
}
