// The machine's headless window system: window classes, windows and their captions, a message queue per thread,
// dialogs built from templates compiled into a module (win/dialog_templates.h), the static, button and progress-bar
// controls (win/commctrl.h), and message boxes. What a person would see goes to the machine's journal, and a
// simulated person (win/simulated_user.h) answers and presses buttons; what a program paints into a window through
// its context (GetDC) stays in the window's pixels (win/window_surface.h), where the person can look at it.
//
// Window handles belong to the machine the calling thread is bound to. A window belongs to the thread that
// created it; when that thread ends, its windows go with it and messages still waiting for it are answered 0.
// Messages sent or posted to a window that no longer exists do nothing and return 0.
#pragma once

#include "win/base.h"

using WNDPROC = LRESULT (*)(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
using DLGPROC = INT_PTR (*)(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

struct WNDCLASSW {
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra;
  int cbWndExtra;
  HINSTANCE hInstance;
  HICON hIcon;
  HCURSOR hCursor;
  HBRUSH hbrBackground;
  LPCWSTR lpszMenuName;
  LPCWSTR lpszClassName;
};

struct WNDCLASSEXW {
  UINT cbSize;
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra;
  int cbWndExtra;
  HINSTANCE hInstance;
  HICON hIcon;
  HCURSOR hCursor;
  HBRUSH hbrBackground;
  LPCWSTR lpszMenuName;
  LPCWSTR lpszClassName;
  HICON hIconSm;
};

struct CREATESTRUCTW {
  LPVOID lpCreateParams;
  HINSTANCE hInstance;
  HMENU hMenu;
  HWND hwndParent;
  int cy;
  int cx;
  int y;
  int x;
  LONG style;
  LPCWSTR lpszName;
  LPCWSTR lpszClass;
  DWORD dwExStyle;
};

struct MSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD time;
  POINT pt;
};
using LPMSG = MSG*;

static_assert(sizeof(WNDCLASSW) == 72);
static_assert(sizeof(WNDCLASSEXW) == 80);
static_assert(sizeof(CREATESTRUCTW) == 80);
static_assert(sizeof(MSG) == 48);

// ---- Resource and atom names ----
inline LPWSTR MAKEINTRESOURCEW(WORD id) { return reinterpret_cast<LPWSTR>(static_cast<ULONG_PTR>(id)); }
inline LPWSTR MAKEINTATOM(ATOM atom) { return MAKEINTRESOURCEW(atom); }
inline bool IS_INTRESOURCE(LPCWSTR name) { return (reinterpret_cast<ULONG_PTR>(name) >> 16) == 0; }
inline constexpr WPARAM MAKEWPARAM(WORD lo, WORD hi) { return MAKELONG(lo, hi); }
inline constexpr LPARAM MAKELPARAM(WORD lo, WORD hi) { return static_cast<LPARAM>(MAKELONG(lo, hi)); }

// ---- Class and window styles ----
inline constexpr UINT CS_VREDRAW = 0x0001;
inline constexpr UINT CS_HREDRAW = 0x0002;
inline constexpr UINT CS_GLOBALCLASS = 0x4000;

inline constexpr DWORD WS_OVERLAPPED = 0x00000000;
inline constexpr DWORD WS_POPUP = 0x80000000;
inline constexpr DWORD WS_CHILD = 0x40000000;
inline constexpr DWORD WS_MINIMIZE = 0x20000000;
inline constexpr DWORD WS_VISIBLE = 0x10000000;
inline constexpr DWORD WS_DISABLED = 0x08000000;
inline constexpr DWORD WS_MAXIMIZE = 0x01000000;
inline constexpr DWORD WS_CAPTION = 0x00C00000;
inline constexpr DWORD WS_BORDER = 0x00800000;
inline constexpr DWORD WS_DLGFRAME = 0x00400000;
inline constexpr DWORD WS_SYSMENU = 0x00080000;
inline constexpr DWORD WS_GROUP = 0x00020000;
inline constexpr DWORD WS_MINIMIZEBOX = 0x00020000;
inline constexpr DWORD WS_TABSTOP = 0x00010000;
inline constexpr DWORD WS_POPUPWINDOW = WS_POPUP | WS_BORDER | WS_SYSMENU;
inline constexpr DWORD WS_EX_DLGMODALFRAME = 0x00000001;
inline constexpr DWORD WS_EX_TOPMOST = 0x00000008;
inline constexpr DWORD WS_EX_CLIENTEDGE = 0x00000200;

inline constexpr DWORD DS_SETFONT = 0x40;
inline constexpr DWORD DS_MODALFRAME = 0x80;
inline constexpr DWORD DS_CENTER = 0x800;

inline constexpr int CW_USEDEFAULT = static_cast<int>(0x80000000);

// ---- Messages ----
inline constexpr UINT WM_NULL = 0x0000;
inline constexpr UINT WM_CREATE = 0x0001;
inline constexpr UINT WM_DESTROY = 0x0002;
inline constexpr UINT WM_SIZE = 0x0005;
inline constexpr UINT WM_SETFOCUS = 0x0007;
inline constexpr UINT WM_KILLFOCUS = 0x0008;
inline constexpr UINT WM_SETTEXT = 0x000C;
inline constexpr UINT WM_GETTEXT = 0x000D;
inline constexpr UINT WM_GETTEXTLENGTH = 0x000E;
inline constexpr UINT WM_PAINT = 0x000F;
inline constexpr UINT WM_CLOSE = 0x0010;
inline constexpr UINT WM_SETCURSOR = 0x0020;
inline constexpr UINT WM_QUIT = 0x0012;
inline constexpr UINT WM_NOTIFY = 0x004E;
inline constexpr UINT WM_NCCREATE = 0x0081;
inline constexpr UINT WM_NCDESTROY = 0x0082;
inline constexpr UINT WM_KEYDOWN = 0x0100;
inline constexpr UINT WM_KEYUP = 0x0101;
inline constexpr UINT WM_CHAR = 0x0102;
inline constexpr UINT WM_INITDIALOG = 0x0110;
inline constexpr UINT WM_COMMAND = 0x0111;
inline constexpr UINT WM_SYSCOMMAND = 0x0112;
inline constexpr UINT WM_LBUTTONDOWN = 0x0201;
inline constexpr UINT WM_USER = 0x0400;

inline constexpr WPARAM SC_CLOSE = 0xF060;
inline constexpr WORD VK_RETURN = 0x0D;
inline constexpr WORD VK_ESCAPE = 0x1B;

// ---- Dialog and message-box answers ----
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDABORT = 3;
inline constexpr int IDRETRY = 4;
inline constexpr int IDIGNORE = 5;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;
inline constexpr int IDTRYAGAIN = 10;
inline constexpr int IDCONTINUE = 11;

// ---- Window data indexes ----
inline constexpr int GWLP_WNDPROC = -4;
inline constexpr int GWLP_HINSTANCE = -6;
inline constexpr int GWLP_HWNDPARENT = -8;
inline constexpr int GWLP_ID = -12;
inline constexpr int GWL_STYLE = -16;
inline constexpr int GWL_EXSTYLE = -20;
inline constexpr int GWLP_USERDATA = -21;
inline constexpr int DWLP_MSGRESULT = 0;
inline constexpr int DWLP_DLGPROC = 8;
inline constexpr int DWLP_USER = 16;
inline constexpr int DLGWINDOWEXTRA = 30;

// ---- Showing and placing ----
inline constexpr int SW_HIDE = 0;
inline constexpr int SW_SHOWNORMAL = 1;
inline constexpr int SW_SHOWMINIMIZED = 2;
inline constexpr int SW_SHOWMAXIMIZED = 3;
inline constexpr int SW_SHOWNOACTIVATE = 4;
inline constexpr int SW_SHOW = 5;
inline constexpr int SW_MINIMIZE = 6;
inline constexpr int SW_SHOWMINNOACTIVE = 7;
inline constexpr int SW_SHOWNA = 8;
inline constexpr int SW_RESTORE = 9;
inline constexpr int SW_SHOWDEFAULT = 10;

inline constexpr UINT SWP_NOSIZE = 0x0001;
inline constexpr UINT SWP_NOMOVE = 0x0002;
inline constexpr UINT SWP_NOZORDER = 0x0004;
inline constexpr UINT SWP_NOACTIVATE = 0x0010;
inline constexpr UINT SWP_SHOWWINDOW = 0x0040;
inline constexpr UINT SWP_HIDEWINDOW = 0x0080;
inline const HWND HWND_TOP = nullptr;
inline const HWND HWND_BOTTOM = reinterpret_cast<HWND>(1);
inline const HWND HWND_TOPMOST = reinterpret_cast<HWND>(-1);
inline const HWND HWND_NOTOPMOST = reinterpret_cast<HWND>(-2);

inline constexpr int SM_CXSCREEN = 0;
inline constexpr int SM_CYSCREEN = 1;

// ---- Message queue ----
inline constexpr UINT PM_NOREMOVE = 0x0000;
inline constexpr UINT PM_REMOVE = 0x0001;
inline constexpr UINT QS_POSTMESSAGE = 0x0008;
inline constexpr UINT QS_SENDMESSAGE = 0x0040;

// ---- Message boxes ----
inline constexpr UINT MB_OK = 0x0;
inline constexpr UINT MB_OKCANCEL = 0x1;
inline constexpr UINT MB_ABORTRETRYIGNORE = 0x2;
inline constexpr UINT MB_YESNOCANCEL = 0x3;
inline constexpr UINT MB_YESNO = 0x4;
inline constexpr UINT MB_RETRYCANCEL = 0x5;
inline constexpr UINT MB_CANCELTRYCONTINUE = 0x6;
inline constexpr UINT MB_ICONHAND = 0x10;
inline constexpr UINT MB_ICONQUESTION = 0x20;
inline constexpr UINT MB_ICONEXCLAMATION = 0x30;
inline constexpr UINT MB_ICONASTERISK = 0x40;
inline constexpr UINT MB_ICONERROR = MB_ICONHAND;
inline constexpr UINT MB_ICONWARNING = MB_ICONEXCLAMATION;
inline constexpr UINT MB_ICONINFORMATION = MB_ICONASTERISK;
inline constexpr UINT MB_DEFBUTTON1 = 0x000;
inline constexpr UINT MB_DEFBUTTON2 = 0x100;
inline constexpr UINT MB_DEFBUTTON3 = 0x200;
inline constexpr UINT MB_DEFBUTTON4 = 0x300;
inline constexpr UINT MB_SYSTEMMODAL = 0x1000;
inline constexpr UINT MB_TASKMODAL = 0x2000;
inline constexpr UINT MB_SETFOREGROUND = 0x10000;
inline constexpr UINT MB_TOPMOST = 0x40000;
inline constexpr UINT MB_TYPEMASK = 0xF;
inline constexpr UINT MB_ICONMASK = 0xF0;
inline constexpr UINT MB_DEFMASK = 0xF00;

// ---- Classes ----
// The dialog class: "#32770", atom 32770.
inline constexpr ATOM kDialogClassAtom = 32770;
inline constexpr const WCHAR* WC_DIALOG = u"#32770";

ATOM RegisterClassW(const WNDCLASSW* windowClass);
// cbSize must be sizeof(WNDCLASSEXW); a name already registered fails with ERROR_CLASS_ALREADY_EXISTS.
ATOM RegisterClassExW(const WNDCLASSEXW* windowClass);
BOOL UnregisterClassW(LPCWSTR className, HINSTANCE instance);
BOOL GetClassInfoExW(HINSTANCE instance, LPCWSTR className, WNDCLASSEXW* windowClass);

// ---- Windows ----
HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menuOrId, HINSTANCE instance, LPVOID parameter);
// Only the window's own thread may destroy it (ERROR_ACCESS_DENIED otherwise). Children go with it.
BOOL DestroyWindow(HWND window);
BOOL IsWindow(HWND window);
BOOL ShowWindow(HWND window, int command);
BOOL IsWindowVisible(HWND window);
BOOL EnableWindow(HWND window, BOOL enable);
BOOL IsWindowEnabled(HWND window);
BOOL SetWindowTextW(HWND window, LPCWSTR text);
int GetWindowTextW(HWND window, LPWSTR buffer, int maxCount);
int GetWindowTextLengthW(HWND window);
// Top-level windows only; the class (name or atom) and the caption are compared ignoring case; a null argument
// matches any. The most recently created match is found first; without one here, a window of another process on
// the same state root is found, and SendMessageW, PostMessageW (numbers, and WM_SETTEXT's and WM_GETTEXT's texts),
// GetDlgItem and IsWindow reach it and its controls; other calls find no window there.
HWND FindWindowW(LPCWSTR className, LPCWSTR windowName);
// A child's parent, or a top-level window's owner.
// The next child of `parent` (the top-level windows for a null parent) after `childAfter` (from the first when
// null) whose class and caption match; null arguments match any. Only direct children are searched.
HWND FindWindowExW(HWND parent, HWND childAfter, LPCWSTR className, LPCWSTR windowName);
HWND GetParent(HWND window);
HWND GetDesktopWindow();
DWORD GetWindowThreadProcessId(HWND window, LPDWORD processId);
BOOL GetWindowRect(HWND window, LPRECT rect);
BOOL GetClientRect(HWND window, LPRECT rect);
BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int width, int height, UINT flags);
BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint);
// The screen of the machine: 1024 × 768.
int GetSystemMetrics(int index);
LONG_PTR GetWindowLongPtrW(HWND window, int index);
LONG_PTR SetWindowLongPtrW(HWND window, int index, LONG_PTR value);
LRESULT DefWindowProcW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CallWindowProcW(WNDPROC procedure, HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// ---- Messages ----
// To a window of the calling thread: a direct call. To another thread's window: queued for that thread and
// delivered inside its GetMessageW or PeekMessageW while the sender waits, handling messages sent to itself
// meanwhile.
LRESULT SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// A null window posts to the calling thread, so a control looked up in a dialog that is gone (GetDlgItem answers
// null) takes a post to the caller: check the control first. Messages that carry pointers (WM_SETTEXT,
// WM_GETTEXT) cannot be posted (ERROR_MESSAGE_SYNC_ONLY).
BOOL PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Delivers sent messages, then returns the next posted message: 1, or 0 for WM_QUIT; -1 with the last error for
// a null message record or a window that does not exist.
BOOL GetMessageW(LPMSG message, HWND window, UINT filterMin, UINT filterMax);
BOOL PeekMessageW(LPMSG message, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags);
BOOL TranslateMessage(const MSG* message);
LRESULT DispatchMessageW(const MSG* message);
void PostQuitMessage(int exitCode);
// QS_SENDMESSAGE and QS_POSTMESSAGE for what waits in the calling thread's queue (in both halves).
DWORD GetQueueStatus(UINT flags);

// ---- Dialogs ----
// A modeless dialog from a template that `instance` registered (win/dialog_templates.h): a "#32770" window with
// the template's controls; the procedure gets WM_INITDIALOG with `initParam`; WS_VISIBLE in the template shows it
// afterwards. A missing template fails with ERROR_RESOURCE_NAME_NOT_FOUND (ERROR_RESOURCE_DATA_NOT_FOUND when the
// module registered none).
HWND CreateDialogParamW(HINSTANCE instance, LPCWSTR templateName, HWND parent, DLGPROC procedure,
                        LPARAM initParam);
// A modal dialog: CreateDialogParamW's dialog, shown, whose thread's messages are taken until EndDialog; the
// answer is EndDialog's result, and the dialog is destroyed. -1 when it could not be made. A person who is not
// scripted to act otherwise reads the dialog (the journal says what it shows) and presses its default push button,
// else its OK or Cancel button, once it waits; a dialog that one press does not end is closed, and one that closing
// does not end either is ended with -1, so that no modal dialog waits for ever.
INT_PTR DialogBoxParamW(HINSTANCE instance, LPCWSTR templateName, HWND parent, DLGPROC procedure, LPARAM initParam);
// Hides the dialog and records its result; a modeless dialog stays until it is destroyed or its thread ends.
BOOL EndDialog(HWND dialog, INT_PTR result);
// Takes every message for the dialog or its controls: Escape becomes WM_COMMAND IDCANCEL, Return IDOK; the rest is
// dispatched. FALSE for messages of other windows.
BOOL IsDialogMessageW(HWND dialog, LPMSG message);
LRESULT DefDlgProcW(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
HWND GetDlgItem(HWND dialog, int id);
int GetDlgCtrlID(HWND control);
BOOL SetDlgItemTextW(HWND dialog, int id, LPCWSTR text);
UINT GetDlgItemTextW(HWND dialog, int id, LPWSTR buffer, int maxCount);
LRESULT SendDlgItemMessageW(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam);

// ---- Buttons and static controls ----
inline constexpr DWORD SS_LEFT = 0x0;
// A static that shows an icon: its text names the icon resource of the module that creates it ("#1"), which it
// loads when it is created; STM_SETICON gives it another (answering the one before), STM_GETICON answers it.
inline constexpr DWORD SS_ICON = 0x3;
inline constexpr DWORD SS_TYPEMASK = 0x1F;
inline constexpr UINT STM_SETICON = 0x0170;
inline constexpr UINT STM_GETICON = 0x0171;
inline constexpr DWORD BS_PUSHBUTTON = 0x0;
inline constexpr DWORD BS_DEFPUSHBUTTON = 0x1;
inline constexpr DWORD BS_CHECKBOX = 0x2;
inline constexpr DWORD BS_AUTOCHECKBOX = 0x3;
inline constexpr DWORD BS_TYPEMASK = 0xF;
inline constexpr UINT BM_GETCHECK = 0x00F0;
inline constexpr UINT BM_SETCHECK = 0x00F1;
inline constexpr UINT BM_CLICK = 0x00F5;
inline constexpr WPARAM BST_UNCHECKED = 0;
inline constexpr WPARAM BST_CHECKED = 1;
inline constexpr WORD BN_CLICKED = 0;
inline constexpr const WCHAR* WC_STATIC = u"Static";
inline constexpr const WCHAR* WC_BUTTON = u"Button";

// ---- Message boxes ----
// Modal: the box goes to the journal and the simulated person answers it (win/simulated_user.h); an unanswered
// box takes its default button. A null caption is "Error". 0 with ERROR_INVALID_WINDOW_HANDLE for an owner that
// is not a window, ERROR_INVALID_MSGBOX_STYLE for an unknown set of buttons.
int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);
// The same with texts in the ANSI code page.
int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
