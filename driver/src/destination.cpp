// Where the PDF goes: a name made from the document title and the output folder, the batch name, or the user's
// choice in the Save As dialog.
#include <array>

#include "pdf/doc_writer.h"
#include "pdf/registry_value.h"
#include "pdf/text.h"
#include "telodrv/driver_texts.h"
#include "telodrv/worker_dialogs.h"
#include "win/commdlg.h"
#include "win/fileapi.h"
#include "win/handleapi.h"
#include "win/paths.h"
#include "win/registry.h"

namespace {

constexpr WCHAR kTryAnotherFile[] =
    u"Could not write to the file. It might be an invalid path, or the file is in use by another application.\n"
    u"Do you want to try another file?";
constexpr WCHAR kSaveAsTitle[] = u"Print to PDF Document - Kelvo Quenzar Printer";
constexpr WCHAR kSaveAsFilter[] = u"PDF files\0*.pdf\0All files\0*.*\0";

constexpr kq::WStringView kWordPrefix = u"Microsoft Word - ";
constexpr kq::WStringView kPowerPointPrefix = u"Microsoft PowerPoint - ";

// The title the file is named after, before it is cleaned.
kq::WString RawTitle(const CPDF_DocWriter& writer, LPCWSTR documentName) {
  if (writer.batch && writer.destName[0] != 0) return kq::WString(writer.destName.data());
  if (!documentName) return {};
  const kq::WStringView name(documentName);
  if (name.size() < 5) return kq::WString(name);
  if (name.starts_with(kWordPrefix)) return kq::WString(name.substr(kWordPrefix.size()));
  if (name.starts_with(kPowerPointPrefix)) return kq::WString(name.substr(kPowerPointPrefix.size()));
  return kq::WString(name);
}

}  // namespace

bool CPDF_DocWriter::AskForAnotherFile() {
  return MessageBoxOnWorkerThreadW(nullptr, kTryAnotherFile, kDriverCaption, MB_YESNO | MB_SETFOREGROUND) == IDYES;
}

namespace {

// The file beside the destination that the document is written into: a name no person would pick, derived from
// the destination's, so the next job onto the same destination takes over what a killed job left.
kq::WString PartPath(const kq::WString& destination) {
  const auto slash = destination.find_last_of(u"\\/");
  const std::size_t nameStart = slash == kq::WString::npos ? 0 : slash + 1;
  return destination.substr(0, nameStart) + u".~" + destination.substr(nameStart) + u".kqpart";
}

// Whether an existing file opens for writing without sharing, as a job's would, leaving it as it is; false with the
// last error when it cannot be written or another job holds it.
bool OpensForWriting(const kq::WString& path) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                  nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  return true;
}

}  // namespace

bool CPDF_DocWriter::OpenOutput(const kq::WString& path, DWORD disposition) {
  // A path without a file name names no file to put beside.
  if (path.empty() || path.back() == u'\\' || path.back() == u'/') {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return false;
  }
  // The machine's own files (its database, its locks) are no file for a PDF, whoever names them.
  if (kq::IsMachineStateFile(path)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    if (disposition == CREATE_NEW) {
      SetLastError(ERROR_FILE_EXISTS);
      return false;
    }
    // A folder, a FIFO or a device is no file to replace, and a FIFO is not even opened: it would wait for a reader.
    if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) {
      SetLastError(ERROR_ACCESS_DENIED);
      return false;
    }
    if (!OpensForWriting(path)) return false;
  }
  kq::WString part = PartPath(path);
  // What a killed job left under the part's name goes first, unless a job still writes it (the probe is then a
  // sharing violation); the part is made new, so a link or FIFO someone put in its place is never written through.
  if (const DWORD stale = GetFileAttributesW(part.c_str()); stale != INVALID_FILE_ATTRIBUTES) {
    // A FIFO is not opened: it would wait for a reader.
    if ((!(stale & FILE_ATTRIBUTE_DEVICE) && !OpensForWriting(part)) || !DeleteFileW(part.c_str())) return false;
  } else {
    DeleteFileW(part.c_str());  // a link to nothing
  }
  const HANDLE file = CreateFileW(part.c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  outputFile = file;
  outputPath = path;
  partPath = std::move(part);
  replaceDestination = disposition == CREATE_ALWAYS;
  return true;
}

bool CPDF_DocWriter::ChooseDestination(LPCWSTR documentName) {
  kq::WString name = RawTitle(*this, documentName);
  const kq::WString fileTitle = name.empty() ? kq::WString() : ExtractDocumentTitle(name);

  if (useDefaultFileName && folder.size() >= 2) {
    kq::WString path = folder;
    if (path.back() != u'\\' && path.back() != u'/') path += u'\\';
    path += fileTitle;
    path += u".pdf";
    if (OpenOutput(path, overwrite ? CREATE_ALWAYS : CREATE_NEW)) return true;
    if (!AskForAnotherFile()) return false;
  }

  std::array<WCHAR, MAX_PATH> fileName{};
  std::array<WCHAR, 128> customFilter{};
  CopyWideBounded(fileName.data(), fileTitle.c_str(), fileName.size());
  for (;;) {
    customFilter.fill(0);
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof(OPENFILENAMEW);
    dialog.hwndOwner = nullptr;
    dialog.lpstrFilter = kSaveAsFilter;
    dialog.lpstrCustomFilter = customFilter.data();
    dialog.nMaxCustFilter = static_cast<DWORD>(customFilter.size());
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = fileName.data();
    dialog.nMaxFile = static_cast<DWORD>(fileName.size());
    dialog.lpstrInitialDir = folder.c_str();
    dialog.lpstrTitle = kSaveAsTitle;
    dialog.Flags = OFN_ENABLESIZING | (overwrite ? 0 : OFN_OVERWRITEPROMPT);
    dialog.lpstrDefExt = u"pdf";

    if (!SaveAsOnWorkerThread(&dialog)) {
      const DWORD error = CommDlgExtendedError();
      if (error == 0) {
        RecordJobResult(u"FALSE");
        cancelled = 1;
        return true;
      }
      const kq::WString report = FormatString(
          u"An internal error happened in Kelvo Quenzar Zedarod. Please report it to %s.\n\nError = %d Name = %s",
          kSupportAddress, static_cast<int>(error), fileTitle.c_str());
      MessageBoxOnWorkerThreadW(nullptr, report.c_str(), kDriverCaption, MB_OK | MB_SETFOREGROUND);
      RecordJobResult(u"FALSE");
      // What the dialog's buffer holds after a failure is no choice of the user's: no file is made from it, and
      // the next showing proposes the title again.
      if (!AskForAnotherFile()) return false;
      CopyWideBounded(fileName.data(), fileTitle.c_str(), fileName.size());
      continue;
    }
    fileName.back() = 0;
    if (OpenOutput(fileName.data(), CREATE_ALWAYS)) return true;
    if (!AskForAnotherFile()) return false;
  }
}
