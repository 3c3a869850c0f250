// Fuzz target of the configuration module's conversion entry, DrvConvertDevMode, as the spooler calls it: the
// first two bytes choose the mode and the size the caller claims for the output; the rest is the input record,
// whose own dmSize and dmDriverExtra are kept within what was handed over, as the spooler's callers guarantee.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "printer_fuzzing.h"
#include "printer_settings/printer_values.h"
#include "teloui/teloui.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const auto& printer = *new fuzzing::VirtualPrinter();
  (void)printer;
  if (size < 2) return 0;
  static constexpr DWORD kModes[] = {CDM_CONVERT, CDM_CONVERT351, CDM_DRIVER_DEFAULT, 0};
  const DWORD mode = kModes[data[0] % 4];
  LONG claimed = data[1] < 128 ? static_cast<LONG>(kDriverDevModeSize) : static_cast<LONG>(data[1]) * 16;

  std::vector<BYTE> in = fuzzing::CallerRecord(data + 2, size - 2);

  // The output holds exactly what the caller claims, and for CDM_CONVERT a record of the driver's version.
  std::vector<BYTE> out(static_cast<std::size_t>(claimed), 0);
  if (out.size() >= sizeof(DEVMODEW)) {
    const WORD version = data[1] & 1 ? kDriverVersion : 0x0400;
    std::memcpy(out.data() + offsetof(DEVMODEW, dmSpecVersion), &version, sizeof version);
  }
  std::u16string name(kq::kVirtualPrinterName);
  const BOOL done = DrvConvertDevMode(name.data(), reinterpret_cast<DEVMODEW*>(in.data()),
                                      reinterpret_cast<DEVMODEW*>(out.data()), &claimed, mode);
  if (!done) return 0;
  if (claimed != static_cast<LONG>(kDriverDevModeSize)) __builtin_trap();
  DriverDevMode record;
  std::memcpy(&record, out.data(), sizeof record);
  // What the driver and the pages rely on.
  if (!fuzzing::Terminated(record.priv.Folder, kDriverPathChars) ||
      !fuzzing::Terminated(record.dm.dmFormName, CCHFORMNAME) || record.priv.FontEmbed > 3 || record.dm.dmScale < 1 ||
      record.dm.dmSize != kDriverPublicSize || record.dm.dmDriverExtra != kDriverPrivateSize)
    __builtin_trap();
  return 0;
}
