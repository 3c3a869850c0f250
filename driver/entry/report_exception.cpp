#include "entry_guard.h"
#include "telodrv/driver_texts.h"
#include "telodrv/worker_dialogs.h"

kq::WString DdiExceptionText(const char* entryName) {
  kq::WString text =
      u"Error happened to Kelvo Quenzar Zedarod. Your PDF document might not be complete.\n\nError tag = \"";
  for (const char* c = entryName; c && *c; ++c) text += static_cast<WCHAR>(static_cast<unsigned char>(*c));
  text += u"\".\n\nPlease report this error to ";
  text += kSupportAddress;
  text += u", together with what you were printing. Thank you for your help.";
  return text;
}

void ReportDdiException(const char* entryName) noexcept {
  try {
    const kq::WString text = DdiExceptionText(entryName);
    MessageBoxOnWorkerThreadW(nullptr, text.c_str(), kDriverCaption, MB_OK);
  } catch (...) {
    // Not even the box could be shown (memory is short): the entry still answers as failed.
  }
}
