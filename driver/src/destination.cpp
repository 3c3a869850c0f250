// Where the PDF goes: a name made from the document title and the output folder, the batch name, or the user's
// choice in the Save As dialog.
#include <array>

#include "pdf/doc_writer.h"
#include "pdf/text.h"
#include "telodrv/driver_texts.h"
#include "telodrv/worker_dialogs.h"
#include "win/commdlg.h"
#include "win/fileapi.h"
#include "win/registry.h"

namespace {

constexpr WCHAR kTryAnotherFile[] =
    u"Could not write to the file. It might be an invalid path, or the file is in use by another application.\n"
    u"Do you want to try another file?";
constexpr WCHAR kSaveAsTitle[] = u"Print to PDF Document - Kelvo Quenzar Printer";
constexpr WCHAR kSaveAsFilter[] = u"PDF files\0*.pdf\0All files\0*.*\0";
constexpr WCHAR kResultKey[] = u"Software\\Kelvo Software\\PDF Zedarod";

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

// "FileName" under the current user's key: the last output, or "FALSE".
void RecordFileName(kq::WStringView text) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kResultKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS)
    return;
  RegSetValueExW(key, u"FileName", 0, REG_SZ, reinterpret_cast<const BYTE*>(text.data()),
                 static_cast<DWORD>(text.size() * sizeof(WCHAR)));
  RegCloseKey(key);
}

bool AskForAnotherFile() {
  return MessageBoxOnWorkerThreadW(nullptr, kTryAnotherFile, kDriverCaption, MB_YESNO | MB_SETFOREGROUND) == IDYES;
}

HANDLE CreateOutput(const WCHAR* path, DWORD disposition) {
  return CreateFileW(path, GENERIC_WRITE, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

bool CPDF_DocWriter::ChooseDestination(LPCWSTR documentName) {
  kq::WString name = RawTitle(*this, documentName);
  const kq::WString fileTitle = name.empty() ? kq::WString() : ExtractDocumentTitle(name);

  if (useDefaultFileName && folder.size() >= 2) {
    kq::WString path = folder;
    if (path.back() != u'\\' && path.back() != u'/') path += u'\\';
    path += fileTitle;
    path += u".pdf";
    const HANDLE file = CreateOutput(path.c_str(), overwrite ? CREATE_ALWAYS : CREATE_NEW);
    if (file != INVALID_HANDLE_VALUE) {
      outputFile = file;
      outputPath = std::move(path);
      return true;
    }
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
        RecordFileName(u"FALSE");
        cancelled = 1;
        return true;
      }
      const kq::WString report = FormatString(
          u"An internal error happened in Kelvo Quenzar Zedarod. Please report it to %s.\n\nError = %d Name = %s",
          kSupportAddress, static_cast<int>(error), fileTitle.c_str());
      MessageBoxOnWorkerThreadW(nullptr, report.c_str(), kDriverCaption, MB_OK | MB_SETFOREGROUND);
      RecordFileName(u"FALSE");
      // What the dialog's buffer holds after a failure is no choice of the user's: no file is made from it, and
      // the next showing proposes the title again.
      if (!AskForAnotherFile()) return false;
      CopyWideBounded(fileName.data(), fileTitle.c_str(), fileName.size());
      continue;
    }
    fileName.back() = 0;
    const HANDLE file = CreateOutput(fileName.data(), CREATE_ALWAYS);
    if (file != INVALID_HANDLE_VALUE) {
      outputFile = file;
      outputPath = fileName.data();
      return true;
    }
    if (!AskForAnotherFile()) return false;
  }
}
