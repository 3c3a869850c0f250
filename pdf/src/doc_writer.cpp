// The writer's construction and destruction, the indirect-object writer and the coordinate helpers.
#include "pdf/doc_writer.h"

#include "pdf/background_flate.h"

#include <algorithm>
#include <stdexcept>

#include "win/fileapi.h"
#include "win/handleapi.h"

CPDF_DocWriter::CPDF_DocWriter() : progressArgs(std::make_shared<ProgressThreadArgs>()) {}

CPDF_DocWriter::~CPDF_DocWriter() {
  // The writer owns its progress thread, the output file and the add-in's mapping.
  EndProgressThread();
  if (outputFile != INVALID_HANDLE_VALUE && outputFile != nullptr) CloseHandle(outputFile);
  if (mapping) CloseHandle(mapping);
}

void CPDF_DocWriter::RecordOffset(std::uint32_t number) {
  if (number == 0) return;
  SettlePage();
  if (xrefOffsets.size() < number) xrefOffsets.resize(number, 0);
  xrefOffsets[number - 1] = bytesWritten;
}

std::uint32_t CPDF_DocWriter::NewObjectNumber() {
  SettlePage();
  ++lastObjectNumber;
  if (xrefOffsets.size() < lastObjectNumber) xrefOffsets.resize(lastObjectNumber, 0);
  return lastObjectNumber;
}

bool CPDF_DocWriter::WriteRaw(std::string_view bytes) {
  SettlePage();
  if (HasWriteError()) return false;
  if (bytes.size() > kMaxFileBytes - bytesWritten) {
    writeError = ERROR_FILE_TOO_LARGE;
    return false;
  }
  // WriteFile takes 32-bit counts; a larger block goes in pieces.
  constexpr std::size_t kPiece = 1u << 30;
  while (!bytes.empty()) {
    const DWORD size = static_cast<DWORD>(std::min(bytes.size(), kPiece));
    DWORD done = 0;
    const BOOL ok = WriteFile(outputFile, bytes.data(), size, &done, nullptr);
    bytesWritten += done;
    if (!ok || done != size) {
      const DWORD error = ok ? ERROR_WRITE_FAULT : GetLastError();
      writeError = error != ERROR_SUCCESS ? error : ERROR_WRITE_FAULT;
      return false;
    }
    bytes.remove_prefix(size);
  }
  return true;
}

bool CPDF_DocWriter::WriteIndirectObject(std::int32_t number, const CPDF_Object& object) {
  if (number < 1 || static_cast<std::uint32_t>(number) > lastObjectNumber)
    throw std::out_of_range("object number " + std::to_string(number) + " was never handed out (last is " +
                            std::to_string(lastObjectNumber) + ")");
  if (HasWriteError()) return false;
  std::string bytes;
  bytes.reserve(32);
  bytes += std::to_string(number);
  bytes += " 0 obj\n";
  SerializeObject(bytes, object);
  bytes += "endobj\n";
  RecordOffset(static_cast<std::uint32_t>(number));
  return WriteRaw(bytes);
}

void CPDF_DocWriter::DeviceToPdf(double& x, double& y) const {
  x *= pointsPerPixel;
  y = (pageHeightPx - y) * pointsPerPixel;
}
