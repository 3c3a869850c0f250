// The "Convert to PDF" command: the virtual printer, the questions, the output file, the hand-over block published
// while the word processor prints the document to the printer.
#include <cstdio>
#include <cstring>

#include "dovecap/convert_status.h"
#include "dovecap/converter_registry.h"
#include "dovecap/dovecap.h"
#include "win/commdlg.h"
#include "win/fileapi.h"
#include "win/handleapi.h"
#include "win/memoryapi.h"
#include "win/paths.h"
#include "win/spooler.h"
#include "win/word_automation.h"

namespace {

constexpr WCHAR kCaption[] = u"Kelvo Quenzar Zedarod";
constexpr WCHAR kDriverName[] = u"Kelvo Quenzar Printer Driver";
constexpr WCHAR kNoPrinter[] = u"Can't find Kelvo Quenzar Printer.";
constexpr WCHAR kSaveFirst[] =
    u"Your document needs to be saved before converting. \nDo you wish to save the document and continue?";
constexpr WCHAR kNoLinks[] =
    u"Zedarod cannot convert links in the documents which have comments or revisions.\nDo you wish to continue and "
    u"create the PDF without links?";
constexpr WCHAR kProtected[] =
    u"The document is protected. Tags and links will not be converted. \nDo you wish to continue and create PDF "
    u"without tags?";
constexpr WCHAR kJobRunning[] = u"A printing job is running. \nPlease try later.";
constexpr WCHAR kCannotWrite[] =
    u"Could not write to the file. It might be an invalid path, or the file is in use by another application.\nDo "
    u"you want to try another file?";
constexpr WCHAR kSaveAsTitle[] = u"Print to PDF Document -- Kelvo Quenzar Printer.";
constexpr WCHAR kFilter[] = u"PDF files\0*.pdf\0All files\0*.*\0";
// The line of every error box that sends the person to the maker.
constexpr char16_t kSupportLine[] = u"Please report this error to Kelvo Software support.";

constexpr std::size_t kPathUnits = 260;
constexpr INT kPrintLayout = 3;
constexpr INT kNotProtected = -1;
constexpr DWORD kStatusWait = 5000;  // how long the clean-up waits for the progress dialog, in milliseconds

using kq::CallMethod;
using kq::ComPtr;
using kq::GetProperty;
using kq::PutProperty;
using kq::Variant;

int VersionCode(const std::u16string& version) {
  if (version == u"9.0" || version == u"10.0") return 2000;
  if (version == u"11.0") return 2003;
  return 2007;
}

bool Ask(const WCHAR* text, UINT type = MB_OKCANCEL) { return MessageBoxW(nullptr, text, kCaption, type) == IDOK; }

std::u16string Printf(const char* format, long long value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return kq::WideFromUtf8(text);
}

// Whether the file can be written, as creating it with `disposition` (for writing, unshared) would tell, without
// touching an earlier file and leaving no new one: the driver writes the PDF beside it and puts it in its place
// only when the document is complete.
bool CanWrite(const std::u16string& path, DWORD disposition) {
  // The machine's own files (its database, its locks) are no file for a PDF. The document being converted is held
  // by the word processor, so it cannot be opened for writing below.
  if (kq::IsMachineStateFile(path)) return false;
  if (const DWORD attributes = GetFileAttributesW(path.c_str()); attributes != INVALID_FILE_ATTRIBUTES) {
    // A folder, a FIFO or a device is no file for a PDF.
    if (disposition == CREATE_NEW || (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE))) return false;
    const HANDLE file =
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
  }
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  DeleteFileW(path.c_str());
  return true;
}

void CopyPath(const std::u16string& path, WCHAR* output) {
  const std::size_t units = std::min(path.size(), kPathUnits - 1);
  std::memcpy(output, path.data(), units * sizeof(WCHAR));
  output[units] = 0;
}

// The document's name without folder and extension: after the last separator, without leading blanks, before the
// first full stop.
std::u16string BaseName(const std::u16string& documentName) {
  const std::size_t cut = documentName.find_last_of(u"\\/:*?\"<>|");
  std::u16string base = cut == std::u16string::npos ? documentName : documentName.substr(cut + 1);
  base.erase(0, std::min(base.find_first_not_of(u' '), base.size()));
  return base.substr(0, base.find(u'.'));
}

// Puts a kept value back when the conversion leaves, on every road.
class Restorer {
 public:
  ~Restorer() {
    if (!object_) return;
    try {
      PutProperty(object_.Get(), name_, value_);
    } catch (const kq::ComError&) {
      // The word processor refuses: nothing more can be done on the way out.
    }
  }
  void Keep(IDispatch* object, std::u16string name, Variant value) {
    object_ = ComPtr<IDispatch>(object);
    name_ = std::move(name);
    value_ = std::move(value);
  }
  void Now() {
    if (!object_) return;
    auto object = std::move(object_);
    PutProperty(object.Get(), name_, value_);
  }

 private:
  ComPtr<IDispatch> object_;
  std::u16string name_;
  Variant value_;
};

}  // namespace

int CDovecap::FindVirtualPrinter() {
  DWORD needed = 0, returned = 0;
  EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &returned);
  std::vector<BYTE> buffer(needed);
  if (needed == 0 || !EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 2, buffer.data(), needed, &needed, &returned))
    return 0;
  const auto* printers = reinterpret_cast<const PRINTER_INFO_2W*>(buffer.data());
  const PRINTER_INFO_2W* found = nullptr;
  for (DWORD i = 0; i < returned && !found; ++i)
    if (printers[i].pDriverName && std::u16string_view(printers[i].pDriverName) == kDriverName) found = &printers[i];
  if (!found) return 0;
  CopyPath(found->pPrinterName, printerName_);

  PRINTER_DEFAULTSW defaults{nullptr, nullptr, PRINTER_ACCESS_USE};
  HANDLE printer = nullptr;
  if (!OpenPrinterW(printerName_, &printer, &defaults)) return 1;
  DWORD type = 0;
  // The folder is read into a zero-filled buffer one unit short of its size, so it always ends in a zero.
  std::memset(folder_, 0, sizeof folder_);
  if (GetPrinterDataExW(printer, u"PrinterDriverData", u"Folder", &type, reinterpret_cast<BYTE*>(folder_),
                        (kPathUnits - 1) * sizeof(WCHAR), &needed) != ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ))
    std::memset(folder_, 0, sizeof folder_);
  DWORD value = 0;
  useDefFileName_ = GetPrinterDataExW(printer, u"PrinterDriverData", u"UseDefFileName", &type,
                                      reinterpret_cast<BYTE*>(&value), sizeof value, &needed) == ERROR_SUCCESS
                        ? value
                        : 0;
  // No value means ask, as the printer does.
  overwrite_ = GetPrinterDataExW(printer, u"PrinterDriverData", u"Overwrite", &type, reinterpret_cast<BYTE*>(&value),
                                 sizeof value, &needed) == ERROR_SUCCESS
                   ? value
                   : 0;
  ClosePrinter(printer);
  return 1;
}

int CDovecap::ChooseOutputFile(const std::u16string& documentName, WCHAR* output) {
  const std::u16string base = BaseName(documentName);
  const auto couldNotWrite = [] {
    return MessageBoxW(nullptr, kCannotWrite, kCaption, MB_YESNO | MB_SETFOREGROUND) == IDYES;
  };
  std::u16string folder(folder_);
  if (useDefFileName_ != 0 && folder.size() > 1) {
    if (folder.back() != u'\\' && folder.size() < kPathUnits - 1) {
      folder += u'\\';
      CopyPath(folder, folder_);
    }
    const std::u16string path = folder + base + u".pdf";
    // A path too long for the output counts as one that cannot be written.
    if (path.size() < kPathUnits && CanWrite(path, overwrite_ ? CREATE_ALWAYS : CREATE_NEW)) {
      CopyPath(path, output);
      return 1;
    }
    if (!couldNotWrite()) return 0;
  }
  for (;;) {
    WCHAR file[kPathUnits] = {};
    WCHAR custom[128] = {};
    CopyPath(base, file);
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = GetDesktopWindow();
    dialog.lpstrFilter = kFilter;
    dialog.lpstrCustomFilter = custom;
    dialog.nMaxCustFilter = 128;
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file;
    dialog.nMaxFile = kPathUnits;
    dialog.lpstrInitialDir = folder_;
    dialog.lpstrTitle = kSaveAsTitle;
    dialog.Flags = OFN_ENABLESIZING | (overwrite_ == 0 ? OFN_OVERWRITEPROMPT : 0);
    dialog.lpstrDefExt = u".pdf";
    if (!GetSaveFileNameW(&dialog)) {
      if (const DWORD error = CommDlgExtendedError()) {
        const std::u16string text = u"Internal error found.\n" + std::u16string(kSupportLine) + u"\n\n" +
                                    Printf("Error = %lld", static_cast<long long>(error));
        MessageBoxW(nullptr, text.c_str(), kCaption, MB_OK | MB_SETFOREGROUND);
      }
      return 0;
    }
    if (CanWrite(file, CREATE_ALWAYS)) {
      CopyPath(file, output);
      return 1;
    }
    if (!couldNotWrite()) return 0;
  }
}

int CDovecap::CollectDocumentData() {
  const auto document = GetProperty(application_.Get(), u"ActiveDocument").ToDispatch();
  const auto selection = GetProperty(application_.Get(), u"Selection").ToDispatch();
  pages_ = GetProperty(selection.Get(), u"Information", {Variant(INT{4})}).ToInt();
  if (!block_.Start()) return 0;
  handover::Content content;
  content.pageCount = pages_;
  content.outputPath = outputPath_;
  dovecap::ConverterRegistry registry;
  if (auto converter = registry.ConvertByExtension(GetProperty(document.Get(), u"FullName").ToText().c_str(), 1)) {
    converter->SetProgressWindow(WaitForConvertStatus(kStatusWait));
    statusAwaited_ = true;
    const dovecap::BookmarkMap* bookmarks = nullptr;
    const dovecap::OutlineList* outline = nullptr;
    const dovecap::LinkMap* links = nullptr;
    try {
      if (converter->Run(bookmarks, outline, links) == 1 && bookmarks && outline && links) {
        content.bookmarks = *bookmarks;
        content.outline = *outline;
        content.links = *links;
      }
    } catch (const kq::ComError&) {
      // The structure could not be collected: the document is printed with an empty block.
    }
  }
  handover::WriteContent(block_, content);
  return 1;
}

bool CDovecap::PublishBlock() {
  const HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                            static_cast<DWORD>(block_.Size()), handover::kSharedMemoryName);
  if (!mapping) {
    errorTag_ = Printf("CreateMapping : %lld", GetLastError());
    throw kq::ComError(E_FAIL, IID_IDovecap, "Create file mapping failure");
  }
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    CloseHandle(mapping);
    return false;
  }
  void* view = MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0);
  if (!view) {
    // A block that cannot be written is not handed over half made.
    errorTag_ = Printf("MapView : %lld", GetLastError());
    CloseHandle(mapping);
    throw kq::ComError(E_FAIL, IID_IDovecap, "Map view failure");
  }
  std::memcpy(view, block_.Data(), block_.Size());
  UnmapViewOfFile(view);
  mapping_ = mapping;
  return true;
}

void CDovecap::CleanUp(bool dialogStarted) {
  if (dialogStarted) {
    // The dialog's thread may not have published its window yet; once it has, the driver may have ended it.
    if (!statusAwaited_) WaitForConvertStatus(kStatusWait);
    EndConvertStatus();
  }
  statusAwaited_ = false;
  block_.Release();
  if (mapping_) CloseHandle(std::exchange(mapping_, nullptr));
}

void CDovecap::OnConvertClick() {
  errorTag_ = u"_";
  bool dialogStarted = false, failed = true;
  {
    Restorer printer, view;
    try {
      if (!FindVirtualPrinter()) {
        MessageBoxW(nullptr, kNoPrinter, kCaption, MB_OK);
        return;
      }
      if (!application_) throw kq::ComError(E_POINTER, IID_WordApplication, "no word processor");
      IDispatch* app = application_.Get();
      versionCode_ = VersionCode(GetProperty(app, u"Version").ToText());
      if (GetProperty(GetProperty(app, u"Documents").ToDispatch().Get(), u"Count").ToInt() == 0) return;
      const auto document = GetProperty(app, u"ActiveDocument").ToDispatch();
      const auto window = GetProperty(document.Get(), u"ActiveWindow").ToDispatch();
      const auto documentView = GetProperty(window.Get(), u"View").ToDispatch();
      if (!GetProperty(document.Get(), u"Saved").ToBool()) {
        if (!Ask(kSaveFirst)) return;
        try {
          CallMethod(document.Get(), u"Save");
        } catch (const kq::ComError&) {
          return;
        }
      }
      bool withBlock = true;
      if (versionCode_ != 2000) {
        INT marks = GetProperty(GetProperty(document.Get(), u"Comments").ToDispatch().Get(), u"Count").ToInt();
        if (marks < 1) marks = GetProperty(GetProperty(document.Get(), u"Revisions").ToDispatch().Get(), u"Count").ToInt();
        if (marks >= 1 && GetProperty(documentView.Get(), u"ShowRevisionsAndComments").ToBool() &&
            GetProperty(documentView.Get(), u"RevisionsView").ToInt() != 1) {
          if (!Ask(kNoLinks)) return;
          withBlock = false;
        }
      }
      if (withBlock) {
        const INT type = GetProperty(documentView.Get(), u"Type").ToInt();
        if (type != kPrintLayout) {
          PutProperty(documentView.Get(), u"Type", Variant(INT{kPrintLayout}));
          view.Keep(documentView.Get(), u"Type", Variant(type));
        }
        if (GetProperty(document.Get(), u"ProtectionType").ToInt() != kNotProtected) {
          if (!Ask(kProtected)) return;
          withBlock = false;
        }
      }
      if (withBlock) {
        documentName_ = GetProperty(document.Get(), u"FullName").ToText();
        if (!ChooseOutputFile(documentName_, outputPath_)) return;
        if (const HANDLE thread = StartConvertStatus()) {
          CloseHandle(thread);
          dialogStarted = true;
        }
        if (CollectDocumentData() && block_.Units() > 0 && !PublishBlock()) {
          MessageBoxW(nullptr, kJobRunning, kCaption, MB_OK);
          CleanUp(dialogStarted);
          return;
        }
      }
      printer.Keep(app, u"ActivePrinter", GetProperty(app, u"ActivePrinter"));
      PutProperty(app, u"ActivePrinter", Variant(printerName_));
      CallMethod(app, u"PrintOut", {Variant(SHORT{0})});
      printer.Now();
      view.Now();
      failed = false;
    } catch (const handover::GrowthError& e) {
      errorTag_ = Printf("Have no enough memory(%lld)!", e.Which());
    } catch (const kq::ComError& e) {
      if (errorTag_ == u"_") errorTag_ = Printf("Automation : 0x%08llX", static_cast<unsigned long>(e.Code()));
    } catch (const std::exception&) {
      // Anything else that went wrong keeps the tag it has.
    }
    if (failed) {
      const std::u16string text = u"Error happened to Kelvo Quenzar Zedarod. Your PDF document might not be "
                                  u"complete.\nError tag = " + errorTag_ + u"\n" + kSupportLine + u"\nThanks!";
      MessageBoxW(nullptr, text.c_str(), kCaption, MB_OK);
    }
  }
  CleanUp(dialogStarted);
}
