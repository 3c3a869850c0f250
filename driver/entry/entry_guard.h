// The catch-all around the driver's entries: nothing thrown beneath an entry reaches the engine. The fault is
// reported in one error box tagged with the entry's name, and the entry answers as failed.
#pragma once

#include "win/base.h"

// The error box of a fault beneath an entry (its name, e.g. "DrvTextOut"), shown on a thread of its own while the
// caller waits for it.
void ReportDdiException(const char* entryName) noexcept;

// The text of that box.
kq::WString DdiExceptionText(const char* entryName);
// Its text when the fault is a document whose file could not be written (PdfOutputError with that error).
kq::WString OutputErrorText(const char* entryName, DWORD error);

// Runs an entry's body and answers its result, or `onFault` after reporting whatever the body threw.
template <class Result, class Body>
Result GuardEntry(const char* entryName, Result onFault, Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    ReportDdiException(entryName);
    return onFault;
  }
}

// The same for an entry that answers nothing.
template <class Body>
void GuardVoidEntry(const char* entryName, Body&& body) noexcept {
  try {
    body();
  } catch (...) {
    ReportDdiException(entryName);
  }
}
