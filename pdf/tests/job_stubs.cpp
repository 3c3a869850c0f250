// Test definitions of the writer's members that the driver room defines in the product.
#include "job_stubs.h"

#include <atomic>

#include "pdf/doc_writer.h"
#include "pdf/registry_value.h"
#include "win/fileapi.h"
#include "win/handleapi.h"
#include "win/synchapi.h"

namespace {

std::unique_ptr<JobStubs>& Current() {
  static std::unique_ptr<JobStubs> stubs = std::make_unique<JobStubs>();
  return stubs;
}

bool CreateOutput(CPDF_DocWriter& writer) {
  writer.outputFile =
      CreateFileW(Stubs().path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (writer.outputFile == INVALID_HANDLE_VALUE) return false;
  writer.outputPath = Stubs().path;
  return true;
}

}  // namespace

JobStubs& Stubs() { return *Current(); }
void ResetStubs() { Current() = std::make_unique<JobStubs>(); }

bool CPDF_DocWriter::ChooseDestination(LPCWSTR) {
  ++Stubs().chooseCalls;
  switch (Stubs().destination) {
    case JobStubs::Destination::Fail:
      return false;
    case JobStubs::Destination::Cancel:
      SetRegistryValueFromText(HKEY_CURRENT_USER, u"Software\\Kelvo Software\\PDF Zedarod", u"FileName", u"FALSE",
                               REG_SZ);
      cancelled = 1;
      return true;
    case JobStubs::Destination::Create:
      break;
  }
  return CreateOutput(*this);
}

bool CPDF_DocWriter::OpenAddinJob() {
  if (!Stubs().addin) return false;
  addinJob = 1;
  totalPages = Stubs().addinPages;
  progressWindow = Stubs().addinWindow;
  if (!CreateOutput(*this)) {
    CloseJob();
    return false;
  }
  return true;
}

DWORD ProgressDialogThread(LPVOID parameter) {
  const std::unique_ptr<std::shared_ptr<ProgressThreadArgs>> held(
      static_cast<std::shared_ptr<ProgressThreadArgs>*>(parameter));
  ProgressThreadArgs& args = **held;
  args.progressWindow = args.interactive ? Stubs().progressWindow : nullptr;
  ++Stubs().progressThreads;
  SetEvent(args.ready);
  return 0;
}
