// A second process for the cross-process tests: it acts on the machine that KQ_ROOT names, as the tools do.
//   state_probe reg-set KEY NAME TEXT        writes a REG_SZ value under HKEY_CURRENT_USER\KEY
//   state_probe reg-get KEY NAME             prints the value's text
//   state_probe reg-burst KEY PREFIX COUNT   waits for a byte on stdin, then writes COUNT DWORD values PREFIX<i>
//                                            and creates the subkeys PREFIX<i>, each in its own call
//   state_probe data-set PRINTER NAME TEXT   SetPrinterDataExW under "PrinterDriverData", REG_SZ
//   state_probe data-get PRINTER NAME        prints the printer value's text
//   state_probe data-burst PRINTER PREFIX COUNT  as reg-burst, with printer values
// Exit code 0 on success, 1 on a failed call (the code is printed on stderr), 2 on bad arguments.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "win/base.h"
#include "win/registry.h"
#include "win/spooler.h"

namespace {

kq::WString W(const char* s) { return kq::WideFromUtf8(s); }

int Fail(const char* what, DWORD code) {
  std::fprintf(stderr, "%s failed: %u\n", what, static_cast<unsigned>(code));
  return 1;
}

void WaitForGo() {
  char go = 0;
  if (read(0, &go, 1) < 0) std::perror("read");
}

int RegSet(const char* keyPath, const char* name, const char* text) {
  HKEY key = nullptr;
  LSTATUS r =
      RegCreateKeyExW(HKEY_CURRENT_USER, W(keyPath).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
  if (r != ERROR_SUCCESS) return Fail("RegCreateKeyExW", r);
  const kq::WString value = W(text);
  r = RegSetValueExW(key, W(name).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>((value.size() + 1) * sizeof(WCHAR)));
  RegCloseKey(key);
  return r == ERROR_SUCCESS ? 0 : Fail("RegSetValueExW", r);
}

int RegGet(const char* keyPath, const char* name) {
  HKEY key = nullptr;
  LSTATUS r = RegOpenKeyExW(HKEY_CURRENT_USER, W(keyPath).c_str(), 0, KEY_READ, &key);
  if (r != ERROR_SUCCESS) return Fail("RegOpenKeyExW", r);
  WCHAR buffer[256] = {};
  DWORD size = sizeof buffer - sizeof(WCHAR);
  r = RegQueryValueExW(key, W(name).c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size);
  RegCloseKey(key);
  if (r != ERROR_SUCCESS) return Fail("RegQueryValueExW", r);
  std::printf("%s", kq::Utf8FromWide(buffer).c_str());
  return 0;
}

int RegBurst(const char* keyPath, const char* prefix, int count) {
  WaitForGo();
  for (int i = 0; i < count; ++i) {
    HKEY key = nullptr;
    LSTATUS r =
        RegCreateKeyExW(HKEY_CURRENT_USER, W(keyPath).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (r != ERROR_SUCCESS) return Fail("RegCreateKeyExW", r);
    const kq::WString name = W(prefix) + W(std::to_string(i).c_str());
    const DWORD value = static_cast<DWORD>(i);
    r = RegSetValueExW(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    if (r != ERROR_SUCCESS) return Fail("RegSetValueExW", r);
    HKEY sub = nullptr;
    r = RegCreateKeyExW(key, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr);
    if (r != ERROR_SUCCESS) return Fail("RegCreateKeyExW (subkey)", r);
    RegCloseKey(sub);
    RegCloseKey(key);
  }
  return 0;
}

HANDLE OpenForWriting(const char* printer) {
  PRINTER_DEFAULTSW defaults{nullptr, nullptr, PRINTER_ALL_ACCESS};
  kq::WString name = W(printer);
  HANDLE handle = nullptr;
  return OpenPrinterW(name.data(), &handle, &defaults) ? handle : nullptr;
}

int DataSet(const char* printer, const char* name, const char* text) {
  HANDLE handle = OpenForWriting(printer);
  if (!handle) return Fail("OpenPrinterW", GetLastError());
  const kq::WString value = W(text);
  DWORD r =
      SetPrinterDataExW(handle, u"PrinterDriverData", W(name).c_str(), REG_SZ,
                        reinterpret_cast<const BYTE*>(value.c_str()), static_cast<DWORD>(value.size() * sizeof(WCHAR)));
  ClosePrinter(handle);
  return r == ERROR_SUCCESS ? 0 : Fail("SetPrinterDataExW", r);
}

int DataGet(const char* printer, const char* name) {
  kq::WString printerName = W(printer);
  HANDLE handle = nullptr;
  if (!OpenPrinterW(printerName.data(), &handle, nullptr)) return Fail("OpenPrinterW", GetLastError());
  WCHAR buffer[256] = {};
  DWORD needed = 0, type = 0;
  DWORD r = GetPrinterDataExW(handle, u"PrinterDriverData", W(name).c_str(), &type, reinterpret_cast<BYTE*>(buffer),
                              sizeof buffer - sizeof(WCHAR), &needed);
  ClosePrinter(handle);
  if (r != ERROR_SUCCESS) return Fail("GetPrinterDataExW", r);
  std::printf("%s", kq::Utf8FromWide(buffer).c_str());
  return 0;
}

int DataBurst(const char* printer, const char* prefix, int count) {
  WaitForGo();
  for (int i = 0; i < count; ++i) {
    HANDLE handle = OpenForWriting(printer);
    if (!handle) return Fail("OpenPrinterW", GetLastError());
    const kq::WString name = W(prefix) + W(std::to_string(i).c_str());
    const DWORD value = static_cast<DWORD>(i);
    DWORD r = SetPrinterDataExW(handle, u"PrinterDriverData", name.c_str(), REG_DWORD,
                                reinterpret_cast<const BYTE*>(&value), sizeof value);
    ClosePrinter(handle);
    if (r != ERROR_SUCCESS) return Fail("SetPrinterDataExW", r);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (argc == 5 && command == "reg-set") return RegSet(argv[2], argv[3], argv[4]);
  if (argc == 4 && command == "reg-get") return RegGet(argv[2], argv[3]);
  if (argc == 5 && command == "reg-burst") return RegBurst(argv[2], argv[3], std::atoi(argv[4]));
  if (argc == 5 && command == "data-set") return DataSet(argv[2], argv[3], argv[4]);
  if (argc == 4 && command == "data-get") return DataGet(argv[2], argv[3]);
  if (argc == 5 && command == "data-burst") return DataBurst(argv[2], argv[3], std::atoi(argv[4]));
  std::fprintf(stderr, "usage: state_probe reg-set|reg-get|reg-burst|data-set|data-get|data-burst ...\n");
  return 2;
}
