// kqprint --capabilities: what the printer's module answers to DeviceCapabilities, in readable tables.
#include <cstdio>
#include <iostream>
#include <memory>
#include <vector>

#include "printer_modes.h"
#include "win/machine.h"
#include "win/spooler_ui.h"

namespace kqprint {

namespace {

constexpr int kNameSlot = kCapabilityNameSlot;

int Ask(WORD capability, void* output = nullptr) {
  return DeviceCapabilitiesW(kq::kVirtualPrinterName, kq::kVirtualPrinterPort, capability, static_cast<LPWSTR>(output),
                             nullptr);
}

std::string Millimetres(LONG tenths) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", tenths / 10.0);
  return text;
}

}  // namespace

int CapabilitiesMode(const std::vector<std::string>& arguments) {
  if (!arguments.empty()) {
    std::cerr << "kqprint: --capabilities takes no arguments\n";
    return 2;
  }
  auto machine = std::make_shared<kq::Machine>(kq::MachineConfig{kq::Machine::RootFromEnvironment()});
  kq::MachineScope scope(machine);
  if (DWORD r = kq::InstallVirtualPrinter(); r != ERROR_SUCCESS) {
    std::cerr << "kqprint: the virtual printer cannot be installed (error " << r << ")\n";
    return 1;
  }
  const int forms = Ask(DC_PAPERS);
  if (forms < 0) {
    std::cerr << "kqprint: the printer's configuration module did not answer (error " << GetLastError() << ")\n";
    return 1;
  }
  std::vector<WORD> papers(static_cast<std::size_t>(forms));
  std::vector<POINT> sizes(static_cast<std::size_t>(forms));
  std::vector<WCHAR> names(static_cast<std::size_t>(forms) * kNameSlot);
  if (Ask(DC_PAPERS, papers.data()) != forms || Ask(DC_PAPERSIZE, sizes.data()) != forms ||
      Ask(DC_PAPERNAMES, names.data()) != forms) {
    std::cerr << "kqprint: the printer's forms changed while they were read\n";
    return 1;
  }
  std::printf("Forms of \"%s\" (%d):\n", kq::Utf8FromWide(kq::kVirtualPrinterName).c_str(), forms);
  std::printf("  %5s  %-34s %10s %10s\n", "paper", "name", "width mm", "length mm");
  for (int i = 0; i < forms; ++i) {
    const std::string name = kq::Utf8FromWide(&names[static_cast<std::size_t>(i) * kNameSlot]);
    std::printf("  %5u  %-34s %10s %10s\n", static_cast<unsigned>(papers[i]), name.c_str(),
                Millimetres(sizes[i].x).c_str(), Millimetres(sizes[i].y).c_str());
  }

  const int resolutions = Ask(DC_ENUMRESOLUTIONS);
  std::vector<LONG> pairs(static_cast<std::size_t>(std::max(resolutions, 0)) * 2);
  if (resolutions > 0) Ask(DC_ENUMRESOLUTIONS, pairs.data());
  std::printf("Resolutions (%d):\n", resolutions);
  for (int i = 0; i < resolutions; ++i) std::printf("  %d x %d dpi\n", pairs[2 * i], pairs[2 * i + 1]);

  const int bins = Ask(DC_BINS);
  std::vector<WORD> binNumbers(static_cast<std::size_t>(std::max(bins, 0)));
  std::vector<WCHAR> binNames(static_cast<std::size_t>(std::max(bins, 0)) * 24);
  if (bins > 0) {
    Ask(DC_BINS, binNumbers.data());
    Ask(DC_BINNAMES, binNames.data());
  }
  std::printf("Bins (%d):\n", bins);
  for (int i = 0; i < bins; ++i)
    std::printf("  %5u  %s\n", static_cast<unsigned>(binNumbers[i]),
                kq::Utf8FromWide(&binNames[static_cast<std::size_t>(i) * 24]).c_str());

  const auto extent = [](int value) {
    return std::to_string(value & 0xFFFF) + " x " + std::to_string((value >> 16) & 0xFFFF);
  };
  std::printf("Other answers:\n");
  std::printf("  %-28s %s (0.1 mm)\n", "smallest paper", extent(Ask(DC_MINEXTENT)).c_str());
  std::printf("  %-28s %s (0.1 mm)\n", "largest paper", extent(Ask(DC_MAXEXTENT)).c_str());
  std::printf("  %-28s %d degrees\n", "landscape turn", Ask(DC_ORIENTATION));
  std::printf("  %-28s %d\n", "copies at most", Ask(DC_COPIES));
  std::printf("  %-28s %s\n", "colour device", Ask(DC_COLORDEVICE) == 1 ? "yes" : "no");
  std::printf("  %-28s %s\n", "duplex", Ask(DC_DUPLEX) == 1 ? "yes" : "no");
  std::printf("  %-28s %d\n", "TrueType", Ask(DC_TRUETYPE));
  std::printf("  %-28s 0x%04X\n", "driver version", static_cast<unsigned>(Ask(DC_DRIVER)));
  std::printf("  %-28s %d bytes\n", "private settings", Ask(DC_EXTRA));
  std::printf("  %-28s 0x%08X\n", "settings fields", static_cast<unsigned>(Ask(DC_FIELDS)));
  return 0;
}

}  // namespace kqprint
