// A machine with the add-in registered through its library's own DllRegisterServer, as an installer does, and the
// word processor's program offered on it.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "dovecap/dovecap.h"
#include "win/libloaderapi.h"
#include "win/machine.h"
#include "win/paths.h"
#include "wordproc/word_processor.h"

class AddinMachine : public ::testing::Test {
 protected:
  AddinMachine() {
    library_ = LoadLibraryA((std::string(KQ_BINARY_DIR) + "/lib/libdovecap.so").c_str());
    auto* registerServer = reinterpret_cast<HRESULT (*)()>(GetProcAddress(library_, "DllRegisterServer"));
    EXPECT_TRUE(registerServer && registerServer() == S_OK);
  }
  ~AddinMachine() override {
    if (library_) FreeLibrary(library_);
  }

  // A started word processor's application; with add-ins, the add-in is connected to it.
  kq::ComPtr<IDispatch> Start(bool addIns = true, std::u16string version = u"11.0") {
    kq::wordproc::StartOptions options;
    options.loadAddIns = addIns;
    options.version = std::move(version);
    program_ = kq::wordproc::WordProcessor::Start(options);
    return program_ ? program_->NewApplication() : nullptr;
  }

  kq::TemporaryMachine machine_;
  kq::MachineScope scope_{machine_.Get()};
  HMODULE library_ = nullptr;
  std::unique_ptr<kq::wordproc::WordProcessor> program_;
};
