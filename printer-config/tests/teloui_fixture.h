// The printer fixture with the configuration module attached under a handle of the test's own, and helpers that
// make settings records as programs hand them in.
#pragma once

#include <cstring>
#include <vector>

#include "printer_fixture.h"
#include "teloui/teloui.h"
#include "win/spooler_ui.h"

class TelouiFixture : public PrinterFixture {
 protected:
  TelouiFixture() { TelouiDllMain(Module(), DLL_PROCESS_ATTACH, nullptr); }

  static HINSTANCE Module() { return reinterpret_cast<HINSTANCE>(static_cast<ULONG_PTR>(0x7E100000)); }

  // A user form, as a person adds one through the spooler (sizes in 0.1 mm).
  void AddUserForm(const std::u16string& name, LONG width, LONG length) {
    FORM_INFO_1W form{};
    form.Flags = FORM_USER;
    form.pName = const_cast<LPWSTR>(name.c_str());
    form.Size = {width * 100, length * 100};
    form.ImageableArea = {0, 0, width * 100, length * 100};
    ASSERT_TRUE(AddFormW(printer_, 1, reinterpret_cast<LPBYTE>(&form))) << GetLastError();
  }

  // A record of another driver: the public part of `size` bytes and a private part of `extra` bytes.
  static std::vector<BYTE> ForeignRecord(WORD size, WORD extra, DWORD fields) {
    std::vector<BYTE> bytes(static_cast<std::size_t>(size) + extra, 0xEE);
    DEVMODEW dm{};
    dm.dmSpecVersion = 0x0400;
    dm.dmSize = size;
    dm.dmDriverExtra = extra;
    dm.dmFields = fields;
    std::memcpy(bytes.data(), &dm, std::min<std::size_t>(size, sizeof dm));
    return bytes;
  }

  static DEVMODEW* Public(std::vector<BYTE>& bytes) { return reinterpret_cast<DEVMODEW*>(bytes.data()); }
};
