#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "ax_doc_con.h"
#include "container.h"
#include "lirriel_ctrl.h"
#include "lirriel_ids.h"
#include "pdf_fixture.h"
#include "win/window_surface.h"
#include "win/docserver_host.h"
#include "win/machine.h"
#include "win/paths.h"
#include "win/simulated_user.h"
#include "win/dispatch_object.h"
#include <sys/wait.h>
#include <functional>
#include "win/handleapi.h"

namespace {

// A stand-in for the document server: an object without IPersistFile, or one whose Load fails.
class BrokenServer final : public kq::OleObjectDefaults, public IPersistFile {
 public:
  explicit BrokenServer(bool persist) : persist_(persist) {}
  HRESULT QueryInterface(REFIID iid, void** object) override {
    *object = nullptr;
    if (iid == IID_IUnknown || iid == IID_IOleObject) {
      *object = static_cast<IOleObject*>(this);
    } else if (persist_ && (iid == IID_IPersistFile || iid == IID_IPersist)) {
      *object = static_cast<IPersistFile*>(this);
    } else {
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return ++references_; }
  ULONG Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT SetClientSite(IOleClientSite*) override { return S_OK; }
  HRESULT GetClientSite(IOleClientSite**) override { return E_NOTIMPL; }
  HRESULT Close(DWORD) override { return S_OK; }
  HRESULT DoVerb(LONG, LPMSG, IOleClientSite*, LONG, HWND, LPCRECT) override { return S_OK; }
  HRESULT GetUserClassID(CLSID*) override { return E_NOTIMPL; }
  HRESULT GetUserType(DWORD, LPOLESTR*) override { return E_NOTIMPL; }
  HRESULT GetMiscStatus(DWORD, DWORD* status) override {
    *status = 0;
    return S_OK;
  }
  HRESULT GetClassID(CLSID*) override { return E_NOTIMPL; }
  HRESULT IsDirty() override { return S_FALSE; }
  HRESULT Load(LPCOLESTR, DWORD mode) override {
    lastMode = mode;
    return E_FAIL;
  }
  HRESULT Save(LPCOLESTR, BOOL) override { return E_NOTIMPL; }
  HRESULT SaveCompleted(LPCOLESTR) override { return S_OK; }
  HRESULT GetCurFile(LPOLESTR*) override { return E_NOTIMPL; }

  static inline DWORD lastMode = 0;

 private:
  ~BrokenServer() = default;
  bool persist_;
  ULONG references_ = 1;
};

// A host window with a site for the control, and the control made by its module's class factory.
class OpenFileTest : public ::testing::Test {
 protected:
  OpenFileTest() : scope_(machine_.Get()) {
    EXPECT_EQ(kq::RegisterDocumentServer(), 0u);
    std::filesystem::create_directories(Host("C:\\Docs"));
    viewer_testing::WritePdf(Host("C:\\Docs\\one.pdf"), 1);
    viewer_testing::WritePdf(Host("C:\\Docs\\three.pdf"), 3);
    std::ofstream(Host("C:\\Docs\\notes.txt")) << "not a document";

    kq::ComPtr<IClassFactory> factory;
    EXPECT_EQ(AfxDllGetClassObject(CLSID_Lirriel, IID_IClassFactory, factory.PutVoid()), S_OK);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IOleObject, control_.PutVoid()), S_OK);
    EXPECT_EQ(control_.As(IID_IDispatch, &dispatch_), S_OK);
    WNDCLASSW cls{};
    cls.lpfnWndProc = DefWindowProcW;
    cls.lpszClassName = u"OpenFileTestHost";
    RegisterClassW(&cls);
    host_ = CreateWindowExW(0, u"OpenFileTestHost", u"host", WS_VISIBLE, 0, 0, 640, 480, nullptr, nullptr, nullptr,
                            nullptr);
  }
  ~OpenFileTest() override {
    control_->Close(0);
    dispatch_.Reset();
    control_.Reset();
    DestroyWindow(host_);
  }

  std::filesystem::path Host(const std::string& windowsPath) const {
    return *kq::HostPathFromWindows(kq::WideFromUtf8(windowsPath));
  }
  void Activate() {
    RECT rect{0, 0, 640, 480};
    ASSERT_EQ(control_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, nullptr, 0, host_, &rect), S_OK);
  }
  bool OpenFile(const std::string& path) {
    return kq::CallMethod(dispatch_.Get(), u"OpenFile", {kq::Variant(kq::WideFromUtf8(path))}).ToBool();
  }
  CLirrielCtrl& Control() const {
    kq::ComPtr<IOleInPlaceObject> inPlace;
    control_.As(IID_IOleInPlaceObject, &inPlace);
    HWND window = nullptr;
    inPlace->GetWindow(&window);
    return *static_cast<CLirrielCtrl*>(CWnd::FromHandlePermanent(window));
  }
  HWND ControlWindow() const {
    kq::ComPtr<IOleInPlaceObject> inPlace;
    control_.As(IID_IOleInPlaceObject, &inPlace);
    HWND window = nullptr;
    inPlace->GetWindow(&window);
    return window;
  }
  COleDocument* Document() const { return static_cast<COleDocument*>(Control().m_pDocTemplate->m_pOnlyDoc); }
  std::size_t Items() const { return Document() ? Document()->ItemCount() : 0; }
  // The caption of the server's window inside the control.
  std::string Shown() const {
    std::function<HWND(HWND)> find = [&](HWND parent) -> HWND {
      if (HWND hit = FindWindowExW(parent, nullptr, kq::kDocumentServerViewClass, nullptr)) return hit;
      for (HWND child = FindWindowExW(parent, nullptr, nullptr, nullptr); child;
           child = FindWindowExW(parent, child, nullptr, nullptr))
        if (HWND hit = find(child)) return hit;
      return nullptr;
    };
    HWND server = find(host_);
    if (!server) return "";
    WCHAR text[256] = {};
    GetWindowTextW(server, text, 256);
    return kq::Utf8FromWide(text);
  }
  // Children of a window, direct ones only.
  static int Children(HWND parent) {
    int n = 0;
    for (HWND child = FindWindowExW(parent, nullptr, nullptr, nullptr); child;
         child = FindWindowExW(parent, child, nullptr, nullptr))
      ++n;
    return n;
  }

  kq::TemporaryMachine machine_;
  kq::MachineScope scope_;
  kq::ComPtr<IOleObject> control_;
  kq::ComPtr<IDispatch> dispatch_;
  HWND host_ = nullptr;
};

TEST_F(OpenFileTest, BeforeTheWindowExistsTheAnswerIsFalse) {
  EXPECT_FALSE(OpenFile("C:\\Docs\\one.pdf"));
}

TEST_F(OpenFileTest, EachCallReplacesTheItemAndAFailedCallKeepsIt) {
  Activate();
  EXPECT_TRUE(OpenFile("C:\\Docs\\one.pdf"));
  EXPECT_EQ(Items(), 1u);
  EXPECT_EQ(Shown(), "one.pdf - page 1 of 1");
  EXPECT_TRUE(OpenFile("C:\\Docs\\three.pdf"));
  EXPECT_EQ(Items(), 1u);
  EXPECT_EQ(Shown(), "three.pdf - page 1 of 3");
  EXPECT_EQ(Document()->StorageNames(), std::vector<std::string>{"Embedding 2"});

  const std::size_t handles = kq::OpenHandleCount();
  for (const char* path : {"C:\\Docs\\missing.pdf", "C:\\Docs\\*.pdf", "C:\\Docs\\t?ree.pdf", "\\\\server\\share\\a.pdf",
                           "", "C:\\Missing\\one.pdf"}) {
    EXPECT_FALSE(OpenFile(path)) << path;
    EXPECT_EQ(Items(), 1u) << path;
    EXPECT_EQ(Shown(), "three.pdf - page 1 of 3") << path;
  }
  EXPECT_FALSE(OpenFile("C:\\Docs\\" + std::string(300, 'a') + ".pdf"));
  EXPECT_EQ(kq::OpenHandleCount(), handles);

  // A file the server cannot read: Load fails, the item goes, the next call works.
  EXPECT_FALSE(OpenFile("C:\\Docs\\notes.txt"));
  EXPECT_EQ(Items(), 0u);
  EXPECT_EQ(AfxGetApp()->m_nWaitCursorCount, 0);
  EXPECT_EQ(kq::OpenHandleCount(), handles);
  EXPECT_TRUE(OpenFile("C:\\Docs\\one.pdf"));
  EXPECT_EQ(Items(), 1u);
}

TEST_F(OpenFileTest, AServerWithoutPersistFileOrFailingLoadGivesFalseAndTheNextCallWorks) {
  Activate();
  for (bool persist : {false, true}) {
    kq::ComPtr<IClassFactory> broken = kq::ComPtr<IClassFactory>::Attach(new kq::ClassFactory(
        [persist](REFIID iid, void** object) {
          auto* server = new BrokenServer(persist);
          const HRESULT hr = server->QueryInterface(iid, object);
          server->Release();
          return hr;
        }));
    DWORD cookie = 0;
    ASSERT_EQ(CoRegisterClassObject(CLSID_ViewerDocumentServer, broken.Get(), CLSCTX_INPROC_SERVER,
                                    REGCLS_MULTIPLEUSE, &cookie),
              S_OK);
    const std::size_t handles = kq::OpenHandleCount();
    EXPECT_FALSE(OpenFile("C:\\Docs\\one.pdf")) << persist;
    EXPECT_EQ(Items(), 0u);
    EXPECT_EQ(AfxGetApp()->m_nWaitCursorCount, 0);
    EXPECT_EQ(kq::OpenHandleCount(), handles);
    if (persist) {
      EXPECT_EQ(BrokenServer::lastMode, 0x10030u);
    }
    CoRevokeClassObject(cookie);
    EXPECT_TRUE(OpenFile("C:\\Docs\\three.pdf"));
    EXPECT_EQ(Items(), 1u);
  }
}

TEST_F(OpenFileTest, CreationTwiceMakesOneTemplateAndOneFrame) {
  Activate();
  CAxDocConTemplate* docTemplate = Control().m_pDocTemplate;
  CMainFrame* frame = docTemplate->m_pFrame;
  ASSERT_NE(frame, nullptr);
  CREATESTRUCTW cs{};
  SendMessageW(ControlWindow(), WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs));
  EXPECT_EQ(Control().m_pDocTemplate, docTemplate);
  EXPECT_EQ(docTemplate->m_pFrame, frame);
  EXPECT_EQ(Children(ControlWindow()), 1);
  // The frame follows the control's size.
  ASSERT_TRUE(MoveWindow(ControlWindow(), 0, 0, 300, 200, TRUE));
  SendMessageW(ControlWindow(), WM_SIZE, 0, MAKELPARAM(300, 200));
  RECT frameRect{};
  GetClientRect(frame->m_hWnd, &frameRect);
  EXPECT_EQ(frameRect.right - frameRect.left, 300);
}

TEST_F(OpenFileTest, ARecreatedWindowGetsAFrameAndOpensFilesAgain) {
  Activate();
  EXPECT_TRUE(OpenFile("C:\\Docs\\one.pdf"));
  CAxDocConTemplate* docTemplate = Control().m_pDocTemplate;
  kq::ComPtr<IOleInPlaceObject> inPlace;
  ASSERT_EQ(control_.As(IID_IOleInPlaceObject, &inPlace), S_OK);
  ASSERT_EQ(inPlace->InPlaceDeactivate(), S_OK);
  EXPECT_EQ(ControlWindow(), nullptr);
  EXPECT_EQ(docTemplate->m_pFrame, nullptr);
  EXPECT_FALSE(OpenFile("C:\\Docs\\three.pdf"));

  Activate();
  EXPECT_EQ(Control().m_pDocTemplate, docTemplate);
  EXPECT_NE(docTemplate->m_pFrame, nullptr);
  EXPECT_EQ(Children(ControlWindow()), 1);
  EXPECT_TRUE(OpenFile("C:\\Docs\\three.pdf"));
  EXPECT_EQ(Items(), 1u);
  EXPECT_EQ(Shown(), "three.pdf - page 1 of 3");
}

TEST_F(OpenFileTest, TheControlAnswersItsStatusAndShowsItsAboutBox) {
  DWORD status = 0;
  EXPECT_EQ(control_->GetMiscStatus(DVASPECT_CONTENT, &status), S_OK);
  EXPECT_EQ(status, 0x20191u);
  DISPID id = 0;
  LPOLESTR name = const_cast<LPOLESTR>(u"OpenFile");
  EXPECT_EQ(dispatch_->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), S_OK);
  EXPECT_EQ(id, 1);
  name = const_cast<LPOLESTR>(u"AboutBox");
  EXPECT_EQ(dispatch_->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), S_OK);
  EXPECT_EQ(id, -552);
  Activate();
  // The control's own drawing, under the frame: white, and the ellipse inscribed in it in the pen's black.
  kq::BitmapPixels pixels;
  ASSERT_TRUE(kq::ReadWindowPixels(ControlWindow(), &pixels));
  ASSERT_EQ(pixels.width, 640);
  ASSERT_EQ(pixels.height, 480);
  const auto at = [&](int x, int y) { return pixels.pixels[static_cast<std::size_t>(y) * 640 + x]; };
  for (auto [x, y] : {std::pair{0, 240}, std::pair{639, 240}, std::pair{320, 0}, std::pair{320, 479}})
    EXPECT_EQ(at(x, y), 0x000000u) << x << ", " << y;
  for (auto [x, y] : {std::pair{0, 0}, std::pair{20, 20}, std::pair{320, 240}, std::pair{3, 240}})
    EXPECT_EQ(at(x, y), 0xFFFFFFu) << x << ", " << y;

  // The About box is the modal dialog 1, with the control's icon; the person reads it and presses OK.
  kq::CallMethod(dispatch_.Get(), u"AboutBox");
  std::vector<std::string> lines;
  for (const auto& entry : machine_->Service<kq::SimulatedUser>().Journal())
    if (kq::Utf8FromWide(entry.caption) == "About Lirriel Control") lines.push_back(entry.line);
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "window shown: \"About Lirriel Control\" (#32770)",
                       "person read \"About Lirriel Control\": an icon, \"Lirriel Control, Version 1.0\", [OK]",
                       "person pressed \"OK\" in \"About Lirriel Control\"",
                       "window hidden: \"About Lirriel Control\" (#32770)",
                       "window closed: \"About Lirriel Control\"",
                   }));
}

// kqview plays the container end to end through the registry, the real libLirriel.so and the server.
TEST_F(OpenFileTest, KqviewOpensAFileAndWritesWhatTheControlShows) {
  const auto png = machine_->Root() / "shown.png";
  const std::string environment = "KQ_ROOT='" + machine_->Root().string() + "' LSAN_OPTIONS=suppressions='" +
                                  KQ_SOURCE_DIR + "/viewer-control/tests/lsan.supp' ";
  const std::string command = environment + "'" + KQ_BINARY_DIR + "/bin/kqview' '" +
                              Host("C:\\Docs\\three.pdf").string() + "' --png '" + png.string() + "' 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string output;
  char chunk[256];
  while (fgets(chunk, sizeof chunk, pipe)) output += chunk;
  EXPECT_EQ(pclose(pipe), 0) << output;
  EXPECT_NE(output.find("OpenFile: TRUE"), std::string::npos) << output;
  EXPECT_NE(output.find("page 1 of 3"), std::string::npos) << output;
  std::ifstream in(png, std::ios::binary);
  char magic[8] = {};
  in.read(magic, 8);
  EXPECT_EQ(std::string(magic + 1, 3), "PNG");

  // A picture into a folder that does not exist: said, and exit 1.
  const std::string nowhere = environment + "'" + KQ_BINARY_DIR + "/bin/kqview' '" + Host("C:\\Docs\\three.pdf").string() +
                              "' --png '" + (machine_->Root() / "no-folder" / "x.png").string() + "' 2>&1";
  pipe = popen(nowhere.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  output.clear();
  while (fgets(chunk, sizeof chunk, pipe)) output += chunk;
  const int nowhereStatus = pclose(pipe);
  EXPECT_EQ(WEXITSTATUS(nowhereStatus), 1) << output;
  EXPECT_NE(output.find("could not be written"), std::string::npos) << output;
  EXPECT_EQ(output.find("Sanitizer"), std::string::npos) << output;

  const std::string missing = environment + "'" + KQ_BINARY_DIR + "/bin/kqview' /no/such/file.pdf >/dev/null 2>&1";
  const int status = std::system(missing.c_str());
  EXPECT_EQ(WEXITSTATUS(status), 3);
}

}  // namespace
