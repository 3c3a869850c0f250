// Run-time classes, exceptions, the module object and its resources, and windows bound to objects.
#include <cstdio>
#include <map>

#include "win/classlib.h"

namespace {

// The module's state: its one module object, its string resources and its count of begun waits.
struct ModuleState {
  CWinApp* app = nullptr;
  std::map<UINT, kq::WString> strings;
};

ModuleState& Module() {
  static ModuleState state;
  return state;
}

}  // namespace

const CRuntimeClass CObject::classCObject{"CObject", nullptr, nullptr};

bool CRuntimeClass::IsDerivedFrom(const CRuntimeClass* base) const {
  for (const CRuntimeClass* cls = this; cls; cls = cls->m_pBaseClass)
    if (cls == base) return true;
  return false;
}

IMPLEMENT_DYNAMIC(CException, CObject)
IMPLEMENT_DYNAMIC(CFileException, CException)
IMPLEMENT_DYNAMIC(COleException, CException)
IMPLEMENT_DYNAMIC(COleDispatchException, CException)
IMPLEMENT_DYNAMIC(CCmdTarget, CObject)
IMPLEMENT_DYNAMIC(CWinApp, CCmdTarget)
IMPLEMENT_DYNAMIC(CWnd, CCmdTarget)

void AfxThrowFileException(int cause, LONG osError) { throw CFileException(cause, osError); }
void AfxThrowOleDispatchException(WORD code, const char* description) {
  throw COleDispatchException(code, description);
}
void AfxThrowOleException(HRESULT sc) { throw COleException(sc); }

void CCmdTarget::BeginWaitCursor() {
  if (CWinApp* app = AfxGetApp()) ++app->m_nWaitCursorCount;
}

void CCmdTarget::EndWaitCursor() {
  if (CWinApp* app = AfxGetApp(); app && app->m_nWaitCursorCount > 0) --app->m_nWaitCursorCount;
}

CWinApp::CWinApp() { Module().app = this; }
CWinApp::~CWinApp() {
  if (Module().app == this) Module().app = nullptr;
}
CWinApp* AfxGetApp() { return Module().app; }

AfxResourceTable::AfxResourceTable(const AfxStringResource* strings, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) Module().strings[strings[i].id] = strings[i].text;
}

kq::WString AfxLoadString(UINT id) {
  auto it = Module().strings.find(id);
  return it == Module().strings.end() ? kq::WString() : it->second;
}

// ---- Windows ----

namespace {

// What CreateEx hands to the window procedure: the object to bind and the caller's own parameter.
struct CreationRecord {
  CWnd* window;
  LPVOID param;
};

}  // namespace

LPCWSTR AfxRegisterWndClass(UINT classStyle) {
  static std::map<UINT, kq::WString> names;
  auto& name = names[classStyle];
  if (name.empty()) {
    char text[32];
    std::snprintf(text, sizeof text, "KqAfx:%x", classStyle);
    name = kq::WideFromUtf8(text);
  }
  WNDCLASSEXW existing{};
  existing.cbSize = sizeof existing;
  if (!GetClassInfoExW(nullptr, name.c_str(), &existing)) {
    WNDCLASSW cls{};
    cls.style = classStyle;
    cls.lpfnWndProc = AfxWndProc;
    cls.lpszClassName = name.c_str();
    RegisterClassW(&cls);
  }
  return name.c_str();
}

CWnd::~CWnd() {
  if (m_hWnd) {
    HWND window = m_hWnd;
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    m_hWnd = nullptr;
    ::DestroyWindow(window);
  }
}

CWnd* CWnd::FromHandlePermanent(HWND window) {
  if (!window || !IsWindow(window)) return nullptr;
  return reinterpret_cast<CWnd*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

BOOL CWnd::PreCreateWindow(CREATESTRUCTW& cs) {
  if (!cs.lpszClass) cs.lpszClass = AfxRegisterWndClass(0);
  return TRUE;
}

BOOL CWnd::CreateEx(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, const RECT& rect,
                    CWnd* parent, UINT id, LPVOID param) {
  CREATESTRUCTW cs{};
  cs.dwExStyle = exStyle;
  cs.lpszClass = className;
  cs.lpszName = windowName;
  cs.style = static_cast<LONG>(style);
  cs.x = rect.left;
  cs.y = rect.top;
  cs.cx = rect.right - rect.left;
  cs.cy = rect.bottom - rect.top;
  cs.hwndParent = parent ? parent->m_hWnd : nullptr;
  cs.hMenu = reinterpret_cast<HMENU>(static_cast<ULONG_PTR>(id));
  cs.lpCreateParams = param;
  if (!PreCreateWindow(cs)) return FALSE;
  CreationRecord record{this, cs.lpCreateParams};
  HWND window = CreateWindowExW(cs.dwExStyle, cs.lpszClass, cs.lpszName, static_cast<DWORD>(cs.style), cs.x, cs.y,
                                cs.cx, cs.cy, cs.hwndParent, cs.hMenu, nullptr, &record);
  return window != nullptr;
}

BOOL CWnd::DestroyWindow() { return m_hWnd ? ::DestroyWindow(m_hWnd) : FALSE; }

LRESULT CWnd::Default() { return DefWindowProcW(m_hWnd, currentMessage_, currentWParam_, currentLParam_); }

int CWnd::OnCreate(CREATESTRUCTW*) { return static_cast<int>(Default()); }
void CWnd::OnSize(UINT, int, int) { Default(); }
void CWnd::OnDestroy() { Default(); }
void CWnd::OnClose() { Default(); }
BOOL CWnd::OnSetCursor(CWnd*, UINT, UINT) { return static_cast<BOOL>(Default()); }
void CWnd::OnSetFocus(CWnd*) { Default(); }
void CWnd::OnLButtonDown(UINT, POINT) { Default(); }

void CWnd::OnNcDestroy() {
  Default();
  if (m_hWnd) SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, 0);
  m_hWnd = nullptr;
  PostNcDestroy();
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      return OnCreate(reinterpret_cast<CREATESTRUCTW*>(lParam));
    case WM_SIZE:
      OnSize(static_cast<UINT>(wParam), static_cast<int>(LOWORD(lParam)), static_cast<int>(HIWORD(lParam)));
      return 0;
    case WM_DESTROY:
      OnDestroy();
      return 0;
    case WM_CLOSE:
      OnClose();
      return 0;
    case WM_SETCURSOR:
      return OnSetCursor(FromHandlePermanent(reinterpret_cast<HWND>(wParam)), LOWORD(lParam), HIWORD(lParam));
    case WM_SETFOCUS:
      OnSetFocus(FromHandlePermanent(reinterpret_cast<HWND>(wParam)));
      return 0;
    case WM_LBUTTONDOWN:
      OnLButtonDown(static_cast<UINT>(wParam),
                    POINT{static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))});
      return 0;
    case WM_NCDESTROY:
      OnNcDestroy();
      return 0;
    default:
      return Default();
  }
}

LRESULT AfxWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* object = reinterpret_cast<CWnd*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  CREATESTRUCTW own{};
  if (!object && (message == WM_NCCREATE || message == WM_CREATE) && lParam) {
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(lParam);
    if (auto* record = static_cast<CreationRecord*>(cs->lpCreateParams)) {
      object = record->window;
      object->m_hWnd = window;
      SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(object));
    }
  }
  if (!object) return DefWindowProcW(window, message, wParam, lParam);
  if (message == WM_NCCREATE || message == WM_CREATE) {
    // The handlers see the caller's own parameter.
    own = *reinterpret_cast<CREATESTRUCTW*>(lParam);
    if (auto* record = static_cast<CreationRecord*>(own.lpCreateParams)) own.lpCreateParams = record->param;
    lParam = reinterpret_cast<LPARAM>(&own);
  }
  const UINT savedMessage = object->currentMessage_;
  const WPARAM savedW = object->currentWParam_;
  const LPARAM savedL = object->currentLParam_;
  object->currentMessage_ = message;
  object->currentWParam_ = wParam;
  object->currentLParam_ = lParam;
  const LRESULT result = object->WindowProc(message, wParam, lParam);
  // The object may be gone after WM_NCDESTROY.
  if (message != WM_NCDESTROY) {
    object->currentMessage_ = savedMessage;
    object->currentWParam_ = savedW;
    object->currentLParam_ = savedL;
  }
  return result;
}
