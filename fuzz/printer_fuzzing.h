// What the fuzz targets of the printer's settings share: a machine with the virtual printer, the check that a
// wide string ends inside its field, and a caller's settings record whose own sizes stay within the bytes handed
// over, as the spooler's callers guarantee.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "win/devmode.h"
#include "win/machine.h"
#include "win/spooler.h"

namespace fuzzing {

// Made once and never destroyed: at exit the platform's own tables may already be gone. Opened as a program
// opens it, or with the right to change its values.
struct VirtualPrinter {
  explicit VirtualPrinter(bool administer = false) : scope(machine.Get()) {
    kq::InstallVirtualPrinter();
    PRINTER_DEFAULTSW all{nullptr, nullptr, PRINTER_ALL_ACCESS};
    if (!OpenPrinterW(kq::kVirtualPrinterName, &handle, administer ? &all : nullptr)) std::abort();
  }
  kq::TemporaryMachine machine;
  kq::MachineScope scope;
  HANDLE handle = nullptr;
};

inline bool Terminated(const WCHAR* field, std::size_t units) {
  for (std::size_t i = 0; i < units; ++i)
    if (field[i] == 0) return true;
  return false;
}

// The bytes as a DEVMODEW of at least its fixed head, dmSize and dmDriverExtra cut to what the bytes hold.
inline std::vector<BYTE> CallerRecord(const std::uint8_t* data, std::size_t size) {
  std::vector<BYTE> bytes(data, data + size);
  if (bytes.size() < offsetof(DEVMODEW, dmFields)) bytes.resize(offsetof(DEVMODEW, dmFields));
  WORD publicSize = 0, extra = 0;
  std::memcpy(&publicSize, bytes.data() + offsetof(DEVMODEW, dmSize), sizeof publicSize);
  std::memcpy(&extra, bytes.data() + offsetof(DEVMODEW, dmDriverExtra), sizeof extra);
  publicSize = static_cast<WORD>(std::min<std::size_t>(publicSize, bytes.size()));
  extra = static_cast<WORD>(std::min<std::size_t>(extra, bytes.size() - publicSize));
  std::memcpy(bytes.data() + offsetof(DEVMODEW, dmSize), &publicSize, sizeof publicSize);
  std::memcpy(bytes.data() + offsetof(DEVMODEW, dmDriverExtra), &extra, sizeof extra);
  return bytes;
}

}  // namespace fuzzing
