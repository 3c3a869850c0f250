// The process's code table: 32-bit numbers for the functions that cross the reader's plug-in boundary.
#include <mutex>
#include <vector>

#include "win/reader_plugin.h"

namespace kq::reader {

namespace {

// Numbers start high and step by 16, as code addresses in a 32-bit program would, and are never reused.
constexpr std::uint32_t kFirstAddress = 0x10001000;
constexpr std::uint32_t kStep = 16;

struct CodeTable {
  std::mutex mutex;
  std::vector<Callback> functions;
};

CodeTable& Table() {
  static CodeTable table;
  return table;
}

}  // namespace

std::uint32_t CodeAddressOf(Callback function) {
  if (!function) return 0;
  auto& table = Table();
  std::lock_guard lock(table.mutex);
  for (std::size_t i = 0; i < table.functions.size(); ++i)
    if (table.functions[i] == function) return kFirstAddress + static_cast<std::uint32_t>(i) * kStep;
  table.functions.push_back(function);
  return kFirstAddress + static_cast<std::uint32_t>(table.functions.size() - 1) * kStep;
}

Callback FunctionAt(std::uint32_t address) {
  if (address < kFirstAddress || (address - kFirstAddress) % kStep != 0) return nullptr;
  auto& table = Table();
  std::lock_guard lock(table.mutex);
  const std::size_t index = (address - kFirstAddress) / kStep;
  return index < table.functions.size() ? table.functions[index] : nullptr;
}

}  // namespace kq::reader
