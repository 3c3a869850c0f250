// The window procedures of the list and text controls (win/stdctrls.h), registered as system classes by the core.
#pragma once

#include <memory>

#include "win/base.h"

namespace kq::user {

LRESULT EditProc(HWND, UINT, WPARAM, LPARAM);
LRESULT ComboBoxProc(HWND, UINT, WPARAM, LPARAM);
LRESULT ListBoxProc(HWND, UINT, WPARAM, LPARAM);
LRESULT ListViewProc(HWND, UINT, WPARAM, LPARAM);
inline constexpr int kEditLimitSlot = 0;
inline constexpr int kEditExtra = 8, kListExtra = 0;
// A control's own data, kept with its window and freed with it; null for a window without any.
void* ControlState(HWND window);
void SetControlState(HWND window, std::shared_ptr<void> state);

// Checks an auto radio button and unchecks the other auto radio buttons of its group (the siblings from the
// previous WS_GROUP control up to the next one).
void CheckAutoRadio(HWND button);

}  // namespace kq::user
