// The document end: the structure, pages tree, fonts, catalog, information dictionary and metadata, the
// cross-reference table and trailer, and then the job's closing actions in their order.
#include <cstdio>
#include <optional>
#include <string>

#include "pdf/dates.h"
#include "pdf/doc_writer.h"
#include "pdf/registry_value.h"
#include "pdf/xmp.h"
#include "win/fileapi.h"
#include "win/handleapi.h"
#include "win/processthreadsapi.h"
#include "win/rpc.h"
#include "win/shellapi.h"
#include "win/sysinfoapi.h"

namespace {

constexpr const WCHAR* kPostProcessor = u"c:\\pdf\\ship\\creator\\tarnvex.exe";
constexpr std::size_t kXrefChunk = 1u << 16;  // the table goes to the file in pieces of about this size

// The logged-on user's name; empty when the platform cannot say.
kq::WString UserName() {
  DWORD size = MAX_PATH;
  for (int attempt = 0; attempt < 2; ++attempt) {
    kq::WString name(size, u'\0');
    DWORD length = size;
    if (GetUserNameW(name.data(), &length)) {
      name.resize(length > 0 ? length - 1 : 0);
      return name;
    }
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || length <= size) break;
    size = length;
  }
  return {};
}

// The full path of the process's program, however long; empty when the platform cannot say.
kq::WString ProgramPath() {
  for (DWORD size = MAX_PATH; size <= 32768; size *= 2) {
    kq::WString path(size, u'\0');
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), size);
    if (length == 0) return {};
    if (length < size) {
      path.resize(length);
      return path;
    }
  }
  return {};
}

// The file identifier of PDF/A-1b output: a new UUID's 32 hexadecimal digits; none without a UUID.
std::optional<std::string> FileIdentifier() {
  UUID uuid{};
  if (UuidCreate(&uuid) == RPC_S_UUID_NO_ADDRESS) return std::nullopt;
  RPC_CSTR text = nullptr;
  if (UuidToStringA(&uuid, &text) != RPC_S_OK || !text) return std::nullopt;
  std::string id;
  for (const unsigned char* c = text; *c; ++c)
    if (*c != '-') id += static_cast<char>(*c);
  RpcStringFreeA(&text);
  return id;
}

std::string XrefEntry(std::uint64_t offset) {
  char entry[32];
  std::snprintf(entry, sizeof entry, "%010llu 00000 %c\r\n", static_cast<unsigned long long>(offset),
                offset != 0 ? 'n' : 'f');
  return entry;
}

void StartPostProcessor(const kq::WString& path) {
  kq::WString commandLine = u"tarnvex \"" + path + u"\"";
  STARTUPINFOW startup;
  GetStartupInfoW(&startup);
  PROCESS_INFORMATION info{};
  if (CreateProcessW(kPostProcessor, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                     &info)) {
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
  }
}

// The last progress messages: the final status and position when the job finished (interactive jobs only), then
// the end message, which ends the dialog in any case.
void EndProgress(CPDF_DocWriter& writer, bool finished) {
  if (finished) {
    writer.FinishProgress();
  } else {
    writer.SendProgressDone();
  }
}

}  // namespace

void CPDF_DocWriter::EndDocument() {
  if (!documentOpen) return;
  try {
    WriteDocumentEnd();
  } catch (...) {
    AbortDocument();
    throw;
  }

  DWORD error = writeError;
  if (!FlushFileBuffers(outputFile) && error == ERROR_SUCCESS) {
    error = GetLastError();
    if (error == ERROR_SUCCESS) error = ERROR_WRITE_FAULT;
  }
  // The finished file takes the destination's place in one step while it is still held, so no other job can
  // touch it in between; an earlier file stays whole until then.
  if (error == ERROR_SUCCESS && !partPath.empty()) {
    const DWORD replace = replaceDestination ? MOVEFILE_REPLACE_EXISTING : 0;
    if (MoveFileExW(partPath.c_str(), outputPath.c_str(), replace | MOVEFILE_WRITE_THROUGH)) {
      partPath.clear();
    } else {
      error = GetLastError();
      if (error == ERROR_SUCCESS) error = ERROR_WRITE_FAULT;
    }
  }
  CloseHandle(outputFile);
  outputFile = INVALID_HANDLE_VALUE;
  if (error != ERROR_SUCCESS) {
    AbortDocument();
    throw PdfOutputError(error);
  }

  documentOpen = false;
  // The reset clears the path: the last actions keep their own copy.
  const kq::WString path = outputPath;
  const bool open = openFile != 0;
  if (runPostProcessor) StartPostProcessor(path);
  RecordJobResult(path.c_str());
  EndProgress(*this, true);
  ResetJob();
  if (open) ShellExecuteW(nullptr, u"open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void CPDF_DocWriter::WriteDocumentEnd() {
  SettlePage();
  std::uint32_t namesNumber = 0;
  std::uint32_t outlineNumber = 0;
  WriteOutlinesAndDests(namesNumber, outlineNumber);

  if (pageObjects.empty()) {
    StartPage();
    EndPage(nullptr);
    SettlePage();
  }

  std::string kids = "[";
  for (const std::uint32_t page : pageObjects) kids += std::to_string(page) + " 0 R ";
  kids += "]";
  CPDF_Dictionary dictionary;
  dictionary.SetAt("/Type", "/Pages");
  dictionary.SetAt("/Kids", kids);
  dictionary.SetAtNumber("/Count", static_cast<double>(pageObjects.size()));
  WriteIndirectObject(static_cast<std::int32_t>(pagesRootNumber), dictionary);

  for (const auto& font : documentFonts) font->WriteResources();

  // The structure is referred to only when it was written: a table whose entries were all skipped writes none.
  dictionary.RemoveAll();
  if (namesNumber != 0) dictionary.SetAtReference("/Names", namesNumber);
  if (outlineNumber != 0) dictionary.SetAtReference("/Outlines", outlineNumber);
  std::uint32_t metadataNumber = 0;
  if (pdfA1b) {
    metadataNumber = NewObjectNumber();
    dictionary.SetAtReference("/Metadata", metadataNumber);
  }
  dictionary.SetAt("/Type", "/Catalog");
  dictionary.SetAtReference("/Pages", pagesRootNumber);
  const std::uint32_t catalogNumber = NewObjectNumber();
  WriteIndirectObject(static_cast<std::int32_t>(catalogNumber), dictionary);

  SYSTEMTIME now{};
  GetSystemTime(&now);
  // In PDF/A the information dictionary and the packet must agree, so both leave out what XML cannot hold.
  const auto agreed = [&](kq::WString text) { return pdfA1b ? XmlCharacters(text) : text; };
  const kq::WString author = agreed(UserName());
  const kq::WString program = agreed(ProgramPath());
  const kq::WString shownTitle = agreed(title);
  dictionary.RemoveAll();
  dictionary.SetAt("/Producer", std::string("(") + kPdfProducer + ")");
  dictionary.SetAtText("/Title", shownTitle);
  dictionary.SetAtText("/Author", author);
  dictionary.SetAtText("/Creator", program);
  dictionary.SetAt("/CreationDate", PdfDateString(now));
  const std::uint32_t infoNumber = NewObjectNumber();
  WriteIndirectObject(static_cast<std::int32_t>(infoNumber), dictionary);

  if (pdfA1b) {
    CPDF_Stream metadata;
    metadata.Dictionary().SetAt("/Type", "/Metadata");
    metadata.Dictionary().SetAt("/Subtype", "/XML");
    metadata.Data() = XmpPacket({author, shownTitle, program, XmpDateString(now)});
    WriteIndirectObject(static_cast<std::int32_t>(metadataNumber), metadata);
  }

  // Numbers handed out but never written (reserved by a font, for instance) are listed as free.
  const std::uint64_t startxref = bytesWritten;
  std::string table = "xref\n0 " + std::to_string(lastObjectNumber + 1) + "\n0000000000 65535 f\r\n";
  for (std::uint32_t n = 1; n <= lastObjectNumber; ++n) {
    table += XrefEntry(n <= xrefOffsets.size() ? xrefOffsets[n - 1] : 0);
    if (table.size() >= kXrefChunk) {
      WriteRaw(table);
      table.clear();
    }
  }
  WriteRaw(table);

  std::string trailer = "trailer\n<</Size " + std::to_string(lastObjectNumber + 1) + " /Root " +
                        std::to_string(catalogNumber) + " 0 R /Info " + std::to_string(infoNumber) + " 0 R";
  if (pdfA1b) {
    if (const auto id = FileIdentifier()) trailer += " /ID [<" + *id + "><" + *id + ">]";
  }
  trailer += ">>\nstartxref\n" + std::to_string(startxref) + "\n%%EOF";
  WriteRaw(trailer);
}

void CPDF_DocWriter::AbandonOutputFile() {
  documentOpen = false;
  const bool open = outputFile != INVALID_HANDLE_VALUE && outputFile != nullptr;
  if (!partPath.empty()) {
    // Removed while still held (it shares deletion), so no other job's file of that name can be hit.
    DeleteFileW(partPath.c_str());
    partPath.clear();
    if (open) CloseHandle(outputFile);
    outputFile = INVALID_HANDLE_VALUE;
    return;
  }
  if (open) CloseHandle(outputFile);
  outputFile = INVALID_HANDLE_VALUE;
  if (!outputPath.empty()) DeleteFileW(outputPath.c_str());
}

void CPDF_DocWriter::AbortJob() {
  if (documentOpen) AbortDocument();
}

void CPDF_DocWriter::AbortDocument() {
  AbandonOutputFile();
  RecordJobResult(u"FALSE");
  EndProgress(*this, false);
  ResetJob();
}
