#include <algorithm>

#include "core.h"
#include "list_controls.h"
#include "win/commctrl.h"
#include "win/paint.h"
#include "win/stdctrls.h"

namespace kq::user {

LRESULT StaticProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE: {
      const auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lParam);
      if ((static_cast<DWORD>(cs->style) & SS_TYPEMASK) != SS_ICON || !cs->lpszName || cs->lpszName[0] != u'#')
        break;
      WORD id = 0;
      for (const WCHAR* c = cs->lpszName + 1; *c >= u'0' && *c <= u'9'; ++c) id = static_cast<WORD>(id * 10 + (*c - u'0'));
      SetWindowLongPtrW(window, kStaticIcon,
                        reinterpret_cast<LONG_PTR>(LoadIconW(cs->hInstance, MAKEINTRESOURCEW(id))));
      break;
    }
    case STM_SETICON: {
      const LONG_PTR previous = GetWindowLongPtrW(window, kStaticIcon);
      SetWindowLongPtrW(window, kStaticIcon, static_cast<LONG_PTR>(wParam));
      return previous;
    }
    case STM_GETICON:
      return GetWindowLongPtrW(window, kStaticIcon);
    default:
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT ButtonProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case BM_GETCHECK:
      return GetWindowLongPtrW(window, kButtonCheck);
    case BM_SETCHECK:
      SetWindowLongPtrW(window, kButtonCheck, static_cast<LONG_PTR>(wParam));
      return 0;
    case BM_CLICK: {
      if (!IsWindowEnabled(window)) return 0;
      const auto type = GetWindowLongPtrW(window, GWL_STYLE) & BS_TYPEMASK;
      if (type == BS_AUTOCHECKBOX) {
        const LONG_PTR checked = GetWindowLongPtrW(window, kButtonCheck);
        SetWindowLongPtrW(window, kButtonCheck, checked == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED);
      } else if (type == BS_AUTORADIOBUTTON) {
        CheckAutoRadio(window);
      }
      const WORD id = static_cast<WORD>(GetWindowLongPtrW(window, GWLP_ID));
      HWND parent = GetParent(window);
      if (parent) SendMessageW(parent, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(window));
      return 0;
    }
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

LRESULT ProgressProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto get = [&](int slot) { return static_cast<int>(GetWindowLongPtrW(window, slot)); };
  auto set = [&](int slot, int value) { SetWindowLongPtrW(window, slot, value); };
  // Sets the position inside the range and answers the previous one.
  auto move = [&](long long to) -> LRESULT {
    const int previous = get(kProgressPos);
    const int low = get(kProgressMin), high = get(kProgressMax);
    set(kProgressPos, static_cast<int>(std::clamp<long long>(to, std::min(low, high), std::max(low, high))));
    return previous;
  };
  auto setRange = [&](int low, int high) -> LRESULT {
    const LRESULT previous = MAKELONG(static_cast<WORD>(get(kProgressMin)), static_cast<WORD>(get(kProgressMax)));
    set(kProgressMin, low);
    set(kProgressMax, high);
    move(get(kProgressPos));
    return previous;
  };
  switch (message) {
    case WM_CREATE:
      set(kProgressMin, 0);
      set(kProgressMax, 100);
      set(kProgressPos, 0);
      set(kProgressStep, 10);
      return 0;
    case PBM_SETRANGE:
      return setRange(LOWORD(static_cast<DWORD_PTR>(lParam)), HIWORD(static_cast<DWORD_PTR>(lParam)));
    case PBM_SETRANGE32:
      return setRange(static_cast<int>(wParam), static_cast<int>(lParam));
    case PBM_SETPOS:
      return move(static_cast<int>(wParam));
    case PBM_DELTAPOS:
      return move(static_cast<long long>(get(kProgressPos)) + static_cast<int>(wParam));
    case PBM_SETSTEP: {
      const int previous = get(kProgressStep);
      set(kProgressStep, static_cast<int>(wParam));
      return previous;
    }
    case PBM_STEPIT: {
      const int low = get(kProgressMin), high = get(kProgressMax);
      long long to = static_cast<long long>(get(kProgressPos)) + get(kProgressStep);
      if (high > low && to > high) to = low + (to - low) % (high - low);
      return move(to);
    }
    case PBM_GETRANGE: {
      const int low = get(kProgressMin), high = get(kProgressMax);
      if (auto* range = reinterpret_cast<PBRANGE*>(lParam)) *range = PBRANGE{low, high};
      return wParam ? low : high;
    }
    case PBM_GETPOS:
      return get(kProgressPos);
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace kq::user
