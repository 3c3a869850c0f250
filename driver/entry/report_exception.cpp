#include <exception>

#include "entry_guard.h"
#include "pdf/doc_writer.h"
#include "pdf/text.h"
#include "telodrv/driver_texts.h"
#include "telodrv/worker_dialogs.h"

namespace {

kq::WString Tag(const char* entryName) {
  kq::WString tag = u"Error tag = \"";
  for (const char* c = entryName; c && *c; ++c) tag += static_cast<WCHAR>(static_cast<unsigned char>(*c));
  return tag + u"\".";
}

// Why a file could not be written, in words.
kq::WString OutputErrorReason(DWORD error) {
  switch (error) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return u"there is not enough space on the disk";
    case ERROR_FILE_TOO_LARGE: return u"the file is too large";
    case ERROR_ACCESS_DENIED: return u"access to the file was denied";
    case ERROR_SHARING_VIOLATION: return u"the file is in use by another program";
    case ERROR_ALREADY_EXISTS:
    case ERROR_FILE_EXISTS: return u"another file of that name was made meanwhile";
    default: return FormatString(u"the device reported error %d", static_cast<int>(error));
  }
}

}  // namespace

kq::WString DdiExceptionText(const char* entryName) {
  kq::WString text = u"Error happened to Kelvo Quenzar Zedarod. Your PDF document might not be complete.\n\n";
  text += Tag(entryName);
  text += u"\n\nPlease report this error to ";
  text += kSupportAddress;
  text += u", together with what you were printing. Thank you for your help.";
  return text;
}

kq::WString OutputErrorText(const char* entryName, DWORD error) {
  return u"Kelvo Quenzar Zedarod could not write your PDF document: " + OutputErrorReason(error) +
         u". No file was made, and a file of that name was left as it was.\n\n" + Tag(entryName);
}

void ReportDdiException(const char* entryName) noexcept {
  try {
    kq::WString text;
    // A document whose file could not be written was removed whole: the box says why, not that it is incomplete.
    try {
      if (const std::exception_ptr fault = std::current_exception()) std::rethrow_exception(fault);
      text = DdiExceptionText(entryName);
    } catch (const PdfOutputError& e) {
      text = OutputErrorText(entryName, e.Error());
    } catch (...) {
      text = DdiExceptionText(entryName);
    }
    MessageBoxOnWorkerThreadW(nullptr, text.c_str(), kDriverCaption, MB_OK);
  } catch (...) {
    // Not even the box could be shown (memory is short): the entry still answers as failed.
  }
}
