// A printing program's road through the application side: the driver calls it causes, their order, and what
// happens when the driver fails an entry.
#include <gtest/gtest.h>

#include <functional>

#include "fake_driver_client.h"
#include "win/appgdi.h"

namespace {

using kq::DeviceContext;
using kq::testing::Devmode;
using kq::testing::FakeDriver;
using Log = std::vector<std::string>;

const std::string kEnableA =
    "A:DrvEnablePDEV(Printer,LPT1:,devmode,patterns=6,caps=320,info=312,printer=(nil))";
const std::string kEnableB =
    "B:DrvEnablePDEV(Printer,LPT1:,devmode,patterns=6,caps=320,info=312,printer=(nil))";

class Printing : public ::testing::Test {
 protected:
  kq::TemporaryMachine machine;
  kq::MachineScope scope{machine.Get()};
  FakeDriver fake;

  kq::PrinterSettings Settings(const std::string& config) {
    kq::PrinterSettings settings;
    settings.driver = fake.Path();
    settings.printerName = u"Printer";
    settings.port = u"LPT1:";
    settings.devmode = Devmode(config);
    return settings;
  }

  // An open device whose opening calls are already taken from the log.
  std::unique_ptr<DeviceContext> Open(const std::string& config = "tag=A") {
    kq::DdiFailure failure;
    auto dc = DeviceContext::OpenPrinter(Settings(config), &failure);
    EXPECT_NE(dc, nullptr) << failure.message;
    fake.Take();
    return dc;
  }
};

TEST_F(Printing, OneDocumentOfSeveralPagesInTheEnginesOrder) {
  kq::DdiFailure failure;
  auto dc = DeviceContext::OpenPrinter(Settings("tag=A"), &failure);
  ASSERT_NE(dc, nullptr) << failure.message;
  EXPECT_EQ(fake.Take(), (Log{"DrvQueryDriverInfo", "DrvEnableDriver(0x30100)", kEnableA, "A:DrvCompletePDEV",
                              "A:DrvEnableSurface"}));
  EXPECT_EQ(dc->Caps().ulHorzRes, 200u);
  EXPECT_EQ(dc->Caps().ulVertRes, 100u);

  const auto job = dc->StartDocument(u"Report");
  ASSERT_TRUE(job);
  EXPECT_EQ(*job, 1u);
  EXPECT_TRUE(dc->InDocument());
  for (int page = 0; page < 3; ++page) {
    EXPECT_TRUE(dc->StartPage());
    EXPECT_TRUE(dc->InPage());
    EXPECT_TRUE(dc->EndPage());
  }
  EXPECT_TRUE(dc->EndDocument());
  EXPECT_FALSE(dc->InDocument());
  dc->Close();
  EXPECT_FALSE(dc->IsOpen());
  EXPECT_EQ(fake.Take(), (Log{"A:DrvStartDoc(Report,1)", "A:DrvStartPage", "A:DrvSendPage", "A:DrvStartPage",
                              "A:DrvSendPage", "A:DrvStartPage", "A:DrvSendPage", "A:DrvEndDoc",
                              "A:DrvDisableSurface", "A:DrvDisablePDEV", "DrvDisableDriver"}));
}

TEST_F(Printing, TwoDocumentsOnOneDeviceGetTheirOwnJobs) {
  auto dc = Open();
  ASSERT_NE(dc, nullptr);
  for (const auto* name : {u"First", u"Second"}) {
    ASSERT_TRUE(dc->StartDocument(name));
    EXPECT_TRUE(dc->StartPage());
    EXPECT_TRUE(dc->EndPage());
    EXPECT_TRUE(dc->EndDocument());
  }
  EXPECT_EQ(fake.Take(), (Log{"A:DrvStartDoc(First,1)", "A:DrvStartPage", "A:DrvSendPage", "A:DrvEndDoc",
                              "A:DrvStartDoc(Second,2)", "A:DrvStartPage", "A:DrvSendPage", "A:DrvEndDoc"}));
}

TEST_F(Printing, EndingADocumentSendsItsOpenPage) {
  auto dc = Open();
  ASSERT_NE(dc, nullptr);
  ASSERT_TRUE(dc->StartDocument(u"Doc"));
  ASSERT_TRUE(dc->StartPage());
  EXPECT_TRUE(dc->EndDocument());
  EXPECT_EQ(fake.Take(), (Log{"A:DrvStartDoc(Doc,1)", "A:DrvStartPage", "A:DrvSendPage", "A:DrvEndDoc"}));
}

TEST_F(Printing, AbortDropsTheOpenPageAndClosingAbortsAnOpenDocument) {
  auto dc = Open();
  ASSERT_NE(dc, nullptr);
  ASSERT_TRUE(dc->StartDocument(u"One"));
  ASSERT_TRUE(dc->StartPage());
  EXPECT_TRUE(dc->AbortDocument());
  EXPECT_FALSE(dc->InDocument());
  ASSERT_TRUE(dc->StartDocument(u"Two"));
  ASSERT_TRUE(dc->StartPage());
  dc.reset();
  EXPECT_EQ(fake.Take(), (Log{"A:DrvStartDoc(One,1)", "A:DrvStartPage", "A:DrvEndDoc(abort)",
                              "A:DrvStartDoc(Two,2)", "A:DrvStartPage", "A:DrvEndDoc(abort)",
                              "A:DrvDisableSurface", "A:DrvDisablePDEV", "DrvDisableDriver"}));
}

TEST_F(Printing, CallsOutOfOrderFailWithoutReachingTheDriver) {
  auto dc = Open();
  ASSERT_NE(dc, nullptr);
  const std::pair<const char*, std::function<bool()>> calls[] = {
      {"StartPage before a document", [&] { return dc->StartPage(); }},
      {"EndPage before a document", [&] { return dc->EndPage(); }},
      {"EndDocument before a document", [&] { return dc->EndDocument(); }},
      {"AbortDocument before a document", [&] { return dc->AbortDocument(); }},
  };
  for (const auto& [what, call] : calls) {
    SCOPED_TRACE(what);
    SetLastError(0);
    EXPECT_FALSE(call());
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  }
  ASSERT_TRUE(dc->StartDocument(u"Doc"));
  fake.Take();
  SetLastError(0);
  EXPECT_FALSE(dc->StartDocument(u"Again"));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_FALSE(dc->EndPage());
  EXPECT_TRUE(fake.Take().empty());

  dc->Close();
  fake.Take();
  SetLastError(0);
  EXPECT_FALSE(dc->StartDocument(u"Closed"));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(dc->Escape(QUERYESCSUPPORT, {}, {}), -1);
  dc->Close();
  EXPECT_TRUE(fake.Take().empty());
}

// A driver that fails an entry: what the program is told and which calls the driver still gets.
TEST_F(Printing, EntryFailures) {
  struct Case {
    const char* config;
    std::function<void(DeviceContext&)> program;
    Log expected;
  };
  const Case cases[] = {
      {"tag=A;fail=DrvStartDoc",
       [](DeviceContext& dc) {
         EXPECT_FALSE(dc.StartDocument(u"Doc"));
         EXPECT_EQ(GetLastError(), ERROR_GEN_FAILURE);
         EXPECT_FALSE(dc.InDocument());
         EXPECT_FALSE(dc.StartPage());
         // The next document is a new job and goes through.
         EXPECT_EQ(dc.StartDocument(u"Doc"), std::optional<DWORD>(2));
         EXPECT_TRUE(dc.EndDocument());
       },
       {"A:DrvStartDoc(Doc,1)", "A:DrvStartDoc(Doc,2)", "A:DrvEndDoc"}},
      {"tag=A;fail=DrvStartPage:2",
       [](DeviceContext& dc) {
         ASSERT_TRUE(dc.StartDocument(u"Doc"));
         EXPECT_TRUE(dc.StartPage());
         EXPECT_TRUE(dc.EndPage());
         EXPECT_FALSE(dc.StartPage());
         EXPECT_FALSE(dc.EndPage());
         EXPECT_FALSE(dc.StartPage());
         EXPECT_TRUE(dc.InDocument());
         EXPECT_FALSE(dc.EndDocument());
         EXPECT_FALSE(dc.InDocument());
       },
       {"A:DrvStartDoc(Doc,1)", "A:DrvStartPage", "A:DrvSendPage", "A:DrvStartPage", "A:DrvEndDoc(abort)"}},
      {"tag=A;fail=DrvSendPage",
       [](DeviceContext& dc) {
         ASSERT_TRUE(dc.StartDocument(u"Doc"));
         EXPECT_TRUE(dc.StartPage());
         EXPECT_FALSE(dc.EndPage());
         EXPECT_FALSE(dc.StartPage());
         EXPECT_TRUE(dc.AbortDocument());
       },
       {"A:DrvStartDoc(Doc,1)", "A:DrvStartPage", "A:DrvSendPage", "A:DrvEndDoc(abort)"}},
      {"tag=A;fail=DrvSendPage",
       [](DeviceContext& dc) {
         // The open page that EndDocument sends fails: the document ends as aborted.
         ASSERT_TRUE(dc.StartDocument(u"Doc"));
         EXPECT_TRUE(dc.StartPage());
         EXPECT_FALSE(dc.EndDocument());
       },
       {"A:DrvStartDoc(Doc,1)", "A:DrvStartPage", "A:DrvSendPage", "A:DrvEndDoc(abort)"}},
      {"tag=A;fail=DrvEndDoc",
       [](DeviceContext& dc) {
         ASSERT_TRUE(dc.StartDocument(u"Doc"));
         EXPECT_FALSE(dc.EndDocument());
         EXPECT_FALSE(dc.InDocument());
       },
       {"A:DrvStartDoc(Doc,1)", "A:DrvEndDoc"}},
      {"tag=A;throw=DrvStartPage",
       [](DeviceContext& dc) {
         ASSERT_TRUE(dc.StartDocument(u"Doc"));
         EXPECT_FALSE(dc.StartPage());
         EXPECT_EQ(GetLastError(), ERROR_GEN_FAILURE);
         EXPECT_FALSE(dc.EndDocument());
       },
       {"A:DrvStartDoc(Doc,1)", "A:DrvStartPage", "A:DrvEndDoc(abort)"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.config);
    kq::TemporaryMachine own;
    kq::MachineScope bind(own.Get());
    auto dc = Open(c.config);
    ASSERT_NE(dc, nullptr);
    c.program(*dc);
    dc->Close();
    Log expected = c.expected;
    for (const char* closing : {"A:DrvDisableSurface", "A:DrvDisablePDEV", "DrvDisableDriver"}) {
      expected.push_back(closing);
    }
    EXPECT_EQ(fake.Take(), expected);
  }
}

// Entries that fail while the device is opened: the open fails, and a PDEV that was enabled is disabled again.
TEST_F(Printing, OpeningFailures) {
  const std::pair<const char*, Log> cases[] = {
      {"tag=A;fail=DrvEnablePDEV", {}},
      {"tag=A;throw=DrvEnablePDEV", {}},
      {"tag=A;fail=DrvEnableSurface", {"A:DrvCompletePDEV", "A:DrvEnableSurface", "A:DrvDisablePDEV"}},
      {"tag=A;badsurface",
       {"A:DrvCompletePDEV", "A:DrvEnableSurface", "A:DrvDisableSurface", "A:DrvDisablePDEV"}},
  };
  for (const auto& [config, afterEnable] : cases) {
    SCOPED_TRACE(config);
    kq::DdiFailure failure;
    SetLastError(0);
    EXPECT_EQ(DeviceContext::OpenPrinter(Settings(config), &failure), nullptr);
    EXPECT_NE(failure.code, 0u);
    EXPECT_EQ(GetLastError(), failure.code);
    EXPECT_FALSE(failure.message.empty());
    Log expected{"DrvQueryDriverInfo", "DrvEnableDriver(0x30100)", kEnableA};
    expected.insert(expected.end(), afterEnable.begin(), afterEnable.end());
    expected.push_back("DrvDisableDriver");
    EXPECT_EQ(fake.Take(), expected);
  }
}

TEST_F(Printing, AMalformedSettingsRecordNeverReachesTheDriver) {
  auto settings = Settings("tag=A");
  settings.devmode.pop_back();  // one byte short of dmSize + dmDriverExtra
  kq::DdiFailure failure;
  EXPECT_EQ(DeviceContext::OpenPrinter(settings, &failure), nullptr);
  EXPECT_EQ(failure.code, ERROR_INVALID_PARAMETER);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  for (const auto& line : fake.Take()) EXPECT_EQ(line.find("DrvEnablePDEV"), std::string::npos) << line;

  EXPECT_TRUE(kq::ValidDevmode({}));
  EXPECT_FALSE(kq::ValidDevmode(std::vector<BYTE>(71, 0)));
  auto zeroSized = Devmode("");
  zeroSized[68] = 0;
  zeroSized[69] = 0;
  EXPECT_FALSE(kq::ValidDevmode(zeroSized));
  EXPECT_TRUE(kq::ValidDevmode(Devmode("x")));

  settings.devmode.clear();
  auto dc = DeviceContext::OpenPrinter(settings);
  ASSERT_NE(dc, nullptr);
  const Log log = fake.Take();
  ASSERT_GE(log.size(), 3u);
  EXPECT_EQ(log[2], "?:DrvEnablePDEV(Printer,LPT1:,no devmode,patterns=6,caps=320,info=312,printer=(nil))");
}

TEST_F(Printing, ResetBetweenDocumentsHandsTheDeviceOver) {
  auto dc = Open();
  ASSERT_NE(dc, nullptr);
  ASSERT_TRUE(dc->StartDocument(u"Before"));
  fake.Take();
  kq::DdiFailure failure;
  EXPECT_FALSE(dc->Reset(Devmode("tag=B"), &failure));
  EXPECT_EQ(failure.code, ERROR_INVALID_PARAMETER);
  EXPECT_TRUE(fake.Take().empty()) << "no reset while a document is open";
  ASSERT_TRUE(dc->EndDocument());
  fake.Take();

  ASSERT_TRUE(dc->Reset(Devmode("tag=B"), &failure)) << failure.message;
  EXPECT_EQ(fake.Take(), (Log{kEnableB, "B:DrvCompletePDEV", "B:DrvResetPDEV(A)", "B:DrvEnableSurface",
                              "A:DrvDisableSurface", "A:DrvDisablePDEV"}));
  ASSERT_TRUE(dc->StartDocument(u"After"));
  EXPECT_TRUE(dc->EndDocument());
  dc->Close();
  EXPECT_EQ(fake.Take(), (Log{"B:DrvStartDoc(After,2)", "B:DrvEndDoc", "B:DrvDisableSurface", "B:DrvDisablePDEV",
                              "DrvDisableDriver"}));
}

TEST_F(Printing, AFailedResetKeepsTheOldDeviceOrLeavesNoSurface) {
  struct Case {
    const char* newConfig;
    Log resetCalls;
    bool oldKept;
  };
  const Case cases[] = {
      {"tag=B;fail=DrvEnablePDEV", {kEnableB}, true},
      {"tag=B;fail=DrvResetPDEV",
       {kEnableB, "B:DrvCompletePDEV", "B:DrvResetPDEV(A)", "B:DrvDisablePDEV"}, true},
      {"tag=B;fail=DrvEnableSurface",
       {kEnableB, "B:DrvCompletePDEV", "B:DrvResetPDEV(A)", "B:DrvEnableSurface", "A:DrvDisableSurface",
        "A:DrvDisablePDEV"},
       false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.newConfig);
    kq::TemporaryMachine own;
    kq::MachineScope bind(own.Get());
    auto dc = Open();
    ASSERT_NE(dc, nullptr);
    kq::DdiFailure failure;
    EXPECT_FALSE(dc->Reset(Devmode(c.newConfig), &failure));
    EXPECT_NE(failure.code, 0u);
    EXPECT_EQ(fake.Take(), c.resetCalls);
    if (c.oldKept) {
      ASSERT_TRUE(dc->StartDocument(u"Doc"));
      EXPECT_TRUE(dc->EndDocument());
      dc->Close();
      EXPECT_EQ(fake.Take(), (Log{"A:DrvStartDoc(Doc,1)", "A:DrvEndDoc", "A:DrvDisableSurface",
                                  "A:DrvDisablePDEV", "DrvDisableDriver"}));
    } else {
      SetLastError(0);
      EXPECT_FALSE(dc->StartDocument(u"Doc"));
      EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
      dc->Close();
      EXPECT_EQ(fake.Take(), (Log{"B:DrvDisablePDEV", "DrvDisableDriver"}));
    }
  }
}

TEST_F(Printing, EscapesGoToTheDriver) {
  auto dc = Open();
  ASSERT_NE(dc, nullptr);
  auto query = [&](ULONG escape) {
    BYTE in[4];
    std::memcpy(in, &escape, sizeof in);
    return dc->Escape(QUERYESCSUPPORT, in, {});
  };
  EXPECT_EQ(query(6001), 1);
  EXPECT_EQ(query(6002), 0);
  BYTE out[2] = {0, 0};
  EXPECT_EQ(dc->Escape(6001, {}, out), 1);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(out), 2), "ok");
  EXPECT_EQ(dc->Escape(9999, {}, {}), 0);
  EXPECT_EQ(fake.Take(), (Log{"A:DrvEscape(8)", "A:DrvEscape(8)", "A:DrvEscape(6001)", "A:DrvEscape(9999)"}));

  auto failing = Open("tag=F;fail=DrvEscape");
  ASSERT_NE(failing, nullptr);
  EXPECT_EQ(failing->Escape(6001, {}, {}), -1);
}

// The spooler's side of a printer opened by name: its handle reaches the driver and its jobs number the documents.
class RecordingConnection : public kq::PrinterConnection {
 public:
  HANDLE Handle() const override { return reinterpret_cast<HANDLE>(0x77); }
  DWORD StartJob(kq::WStringView document) override {
    events.push_back("start " + kq::Utf8FromWide(document));
    if (refuse) {
      SetLastError(ERROR_INVALID_PRINTER_STATE);
      return 0;
    }
    return 40 + static_cast<DWORD>(events.size());
  }
  void EndJob(DWORD job, bool aborted) override {
    events.push_back("end " + std::to_string(job) + (aborted ? " aborted" : ""));
  }
  bool refuse = false;
  std::vector<std::string> events;
};

TEST_F(Printing, AConnectionGivesTheHandleAndTheJobs) {
  auto connection = std::make_shared<RecordingConnection>();
  auto settings = Settings("tag=A");
  settings.connection = connection;
  auto dc = DeviceContext::OpenPrinter(settings);
  ASSERT_NE(dc, nullptr);
  const Log opened = fake.Take();
  ASSERT_GE(opened.size(), 3u);
  EXPECT_NE(opened[2].find("printer=0x77"), std::string::npos) << opened[2];

  EXPECT_EQ(dc->StartDocument(u"Kept"), std::optional<DWORD>(41));
  EXPECT_TRUE(dc->EndDocument());
  EXPECT_EQ(dc->StartDocument(u"Dropped"), std::optional<DWORD>(43));
  EXPECT_TRUE(dc->AbortDocument());
  connection->refuse = true;
  SetLastError(0);
  EXPECT_FALSE(dc->StartDocument(u"Refused"));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PRINTER_STATE);
  EXPECT_EQ(connection->events, (std::vector<std::string>{"start Kept", "end 41", "start Dropped",
                                                           "end 43 aborted", "start Refused"}));
  EXPECT_EQ(fake.Take(), (Log{"A:DrvStartDoc(Kept,41)", "A:DrvEndDoc", "A:DrvStartDoc(Dropped,43)",
                              "A:DrvEndDoc(abort)"}));
}

TEST_F(Printing, ADocumentTheDriverRefusesEndsItsJob) {
  auto connection = std::make_shared<RecordingConnection>();
  auto settings = Settings("tag=A;fail=DrvStartDoc");
  settings.connection = connection;
  auto dc = DeviceContext::OpenPrinter(settings);
  ASSERT_NE(dc, nullptr);
  EXPECT_FALSE(dc->StartDocument(u"Doc"));
  EXPECT_EQ(connection->events, (std::vector<std::string>{"start Doc", "end 41 aborted"}));
}

TEST_F(Printing, TwoDevicesOfOneDriverSideBySide) {
  auto first = Open("tag=A");
  auto second = Open("tag=B");
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  ASSERT_TRUE(first->StartDocument(u"One"));
  ASSERT_TRUE(second->StartDocument(u"Two"));
  EXPECT_TRUE(first->StartPage());
  EXPECT_TRUE(second->StartPage());
  EXPECT_TRUE(second->EndPage());
  EXPECT_TRUE(first->EndPage());
  EXPECT_TRUE(second->EndDocument());
  EXPECT_TRUE(first->EndDocument());
  first.reset();
  EXPECT_EQ(fake.Take(), (Log{"A:DrvStartDoc(One,1)", "B:DrvStartDoc(Two,2)", "A:DrvStartPage", "B:DrvStartPage",
                              "B:DrvSendPage", "A:DrvSendPage", "B:DrvEndDoc", "A:DrvEndDoc",
                              "A:DrvDisableSurface", "A:DrvDisablePDEV"}))
      << "the driver stays bound while a device uses it";
  second.reset();
  EXPECT_EQ(fake.Take(), (Log{"B:DrvDisableSurface", "B:DrvDisablePDEV", "DrvDisableDriver"}));
}

TEST_F(Printing, DevicesOnTwoMachinesKeepToTheirOwn) {
  kq::TemporaryMachine other;
  auto here = Open("tag=A");
  std::unique_ptr<DeviceContext> there;
  {
    kq::MachineScope bind(other.Get());
    there = DeviceContext::OpenPrinter(Settings("tag=B"));
  }
  ASSERT_NE(here, nullptr);
  ASSERT_NE(there, nullptr);
  EXPECT_EQ(fake.Take(), (Log{"DrvQueryDriverInfo", "DrvEnableDriver(0x30100)", kEnableB, "B:DrvCompletePDEV",
                              "B:DrvEnableSurface"}))
      << "each machine binds the driver itself";
  // Used from a thread bound to this machine, the other device still acts on its own.
  EXPECT_EQ(here->StartDocument(u"Here"), std::optional<DWORD>(1));
  EXPECT_EQ(there->StartDocument(u"There"), std::optional<DWORD>(1));
  EXPECT_TRUE(there->StartPage());
  EXPECT_TRUE(there->EndPage());
  EXPECT_TRUE(there->EndDocument());
  EXPECT_TRUE(here->EndDocument());
  there.reset();
  here.reset();
  EXPECT_EQ(fake.Take(), (Log{"A:DrvStartDoc(Here,1)", "B:DrvStartDoc(There,1)", "B:DrvStartPage",
                              "B:DrvSendPage", "B:DrvEndDoc", "A:DrvEndDoc", "B:DrvDisableSurface",
                              "B:DrvDisablePDEV", "DrvDisableDriver", "A:DrvDisableSurface", "A:DrvDisablePDEV",
                              "DrvDisableDriver"}));
}

}  // namespace
