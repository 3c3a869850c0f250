// Fuzz target of the configuration module's conversion entry, DrvConvertDevMode, as the spooler calls it: the
// first two bytes choose the mode and the size the caller claims for the output; the rest is the input record,
// whose own dmSize and dmDriverExtra are kept within what was handed over, as the spooler's callers guarantee.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "printer_settings/printer_values.h"
#include "teloui/teloui.h"
#include "win/machine.h"
#include "win/spooler.h"

namespace {

struct Printer {
  Printer() : scope(machine.Get()) { kq::InstallVirtualPrinter(); }
  kq::TemporaryMachine machine;
  kq::MachineScope scope;
};

bool Terminated(const WCHAR* field, std::size_t units) {
  for (std::size_t i = 0; i < units; ++i)
    if (field[i] == 0) return true;
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Never destroyed: at exit the platform's own tables may already be gone.
  static Printer& printer = *new Printer;
  if (size < 2) return 0;
  static constexpr DWORD kModes[] = {CDM_CONVERT, CDM_CONVERT351, CDM_DRIVER_DEFAULT, 0};
  const DWORD mode = kModes[data[0] % 4];
  LONG claimed = data[1] < 128 ? static_cast<LONG>(kDriverDevModeSize) : static_cast<LONG>(data[1]) * 16;

  std::vector<BYTE> in(data + 2, data + size);
  if (in.size() < offsetof(DEVMODEW, dmFields)) in.resize(offsetof(DEVMODEW, dmFields));
  WORD publicSize = 0, extra = 0;
  std::memcpy(&publicSize, in.data() + offsetof(DEVMODEW, dmSize), sizeof publicSize);
  std::memcpy(&extra, in.data() + offsetof(DEVMODEW, dmDriverExtra), sizeof extra);
  publicSize = static_cast<WORD>(std::min<std::size_t>(publicSize, in.size()));
  extra = static_cast<WORD>(std::min<std::size_t>(extra, in.size() - publicSize));
  std::memcpy(in.data() + offsetof(DEVMODEW, dmSize), &publicSize, sizeof publicSize);
  std::memcpy(in.data() + offsetof(DEVMODEW, dmDriverExtra), &extra, sizeof extra);

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
  if (!Terminated(record.priv.Folder, kDriverPathChars) || !Terminated(record.dm.dmFormName, CCHFORMNAME) ||
      record.priv.FontEmbed > 3 || record.dm.dmScale < 1 || record.dm.dmSize != kDriverPublicSize ||
      record.dm.dmDriverExtra != kDriverPrivateSize)
    __builtin_trap();
  return 0;
}
