// The outside document server through the registry, as a container creates it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "win/com_support.h"
#include "win/docserver_host.h"
#include "win/machine.h"
#include "win/oleidl.h"
#include "win/paths.h"

namespace {

constexpr CLSID kServer{0x14E8BBD8, 0x1D1C, 0x4D56, {0xA4, 0xDA, 0xD2, 0x0B, 0x75, 0xEB, 0x81, 0x4E}};

TEST(DocumentServer, OpensPdfFilesAndRefusesWhatItCannotRead) {
  kq::TemporaryMachine machine;
  kq::MachineScope scope(machine.Get());
  ASSERT_EQ(kq::RegisterDocumentServer(), 0u);
  const auto docs = machine->Root() / "drive_c";
  std::ofstream(docs / "notes.txt") << "not a document";

  kq::ComPtr<IOleObject> object;
  ASSERT_EQ(CoCreateInstance(kServer, nullptr, 7, IID_IOleObject, object.PutVoid()), S_OK);
  kq::ComPtr<IPersistFile> persist;
  ASSERT_EQ(object.As(IID_IPersistFile, &persist), S_OK);
  EXPECT_EQ(persist->Load(u"C:\\missing.pdf", 0x10030), STG_E_FILENOTFOUND);
  EXPECT_TRUE(FAILED(persist->Load(u"C:\\notes.txt", 0x10030)));
  EXPECT_TRUE(FAILED(persist->Load(u"C:\\", 0x10030)));
  DWORD status = 1;
  EXPECT_EQ(object->GetMiscStatus(1, &status), S_OK);
  // Without a site that lets it in, it cannot be shown in place.
  EXPECT_TRUE(FAILED(object->DoVerb(OLEIVERB_SHOW, nullptr, nullptr, -1, nullptr, nullptr)));
}

}  // namespace
