// The word processor stand-in: a running program on the current machine whose application object programs reach
// through automation ("Word.Application", CLSID_WordApplication). It opens .docx files, lays them out into pages,
// answers positions from that layout and prints through the engine to its active printer.
#pragma once

#include <memory>
#include <string>

#include "win/com_support.h"

namespace kq::wordproc {

struct StartOptions {
  WString version = u"11.0";  // what Application.Version answers
  WString activePrinter;       // empty: the spooler's default printer, if any
  bool loadAddIns = true;      // connect the COM add-ins of the add-ins key at start and disconnect them at Quit
};

// While it lives, the word processor's class is registered under its ProgID and its class object offered on the
// machine, so CoCreateInstance and GetActiveObject find it. Each created application registers itself as the
// running instance until it quits.
class WordProcessor {
 public:
  static std::unique_ptr<WordProcessor> Start(StartOptions options = {});
  ~WordProcessor();
  WordProcessor(const WordProcessor&) = delete;
  WordProcessor& operator=(const WordProcessor&) = delete;

  // A new application object (as CoCreateInstance gives one).
  ComPtr<IDispatch> NewApplication();

 private:
  WordProcessor() = default;
  DWORD classCookie_ = 0;
  StartOptions options_;
};

}  // namespace kq::wordproc
