#include "core.h"

namespace kq::user {
namespace {

ATOM Register(UINT style, WNDPROC proc, int classExtra, int windowExtra, HINSTANCE instance, HICON icon,
              HCURSOR cursor, HBRUSH background, LPCWSTR className, HICON smallIcon) {
  if (!proc || !className || classExtra < 0 || windowExtra < 0 || IS_INTRESOURCE(className) || !*className) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  auto cls = std::make_shared<WindowClass>();
  cls->name = className;
  cls->style = style;
  cls->proc = proc;
  cls->classExtra = classExtra;
  cls->windowExtra = windowExtra;
  cls->instance = instance;
  cls->icon = icon;
  cls->cursor = cursor;
  cls->background = background;
  cls->smallIcon = smallIcon;
  auto core = CurrentCore();
  std::lock_guard lock(core->mutex);
  const ATOM atom = core->AddClass(std::move(cls));
  if (!atom) SetLastError(ERROR_CLASS_ALREADY_EXISTS);
  return atom;
}

}  // namespace
}  // namespace kq::user

ATOM RegisterClassW(const WNDCLASSW* c) {
  if (!c) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  return kq::user::Register(c->style, c->lpfnWndProc, c->cbClsExtra, c->cbWndExtra, c->hInstance, c->hIcon,
                            c->hCursor, c->hbrBackground, c->lpszClassName, nullptr);
}

ATOM RegisterClassExW(const WNDCLASSEXW* c) {
  if (!c || c->cbSize != sizeof(WNDCLASSEXW)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  return kq::user::Register(c->style, c->lpfnWndProc, c->cbClsExtra, c->cbWndExtra, c->hInstance, c->hIcon,
                            c->hCursor, c->hbrBackground, c->lpszClassName, c->hIconSm);
}

BOOL UnregisterClassW(LPCWSTR className, HINSTANCE) {
  auto core = kq::user::CurrentCore();
  std::lock_guard lock(core->mutex);
  auto cls = core->FindClass(className);
  if (!cls || cls->system) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
  }
  if (cls->windows > 0) {
    SetLastError(ERROR_CLASS_HAS_WINDOWS);
    return FALSE;
  }
  core->RemoveClass(cls);
  return TRUE;
}

BOOL GetClassInfoExW(HINSTANCE, LPCWSTR className, WNDCLASSEXW* out) {
  if (!out) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  auto core = kq::user::CurrentCore();
  std::lock_guard lock(core->mutex);
  auto cls = core->FindClass(className);
  if (!cls) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
  }
  out->cbSize = sizeof(WNDCLASSEXW);
  out->style = cls->style;
  out->lpfnWndProc = cls->proc;
  out->cbClsExtra = cls->classExtra;
  out->cbWndExtra = cls->windowExtra;
  out->hInstance = cls->instance;
  out->hIcon = cls->icon;
  out->hCursor = cls->cursor;
  out->hbrBackground = cls->background;
  out->lpszMenuName = nullptr;
  out->lpszClassName = className;
  out->hIconSm = cls->smallIcon;
  return TRUE;
}
