// The module's registration steps, given the type-library step, so the order and the codes can be followed.
#pragma once

#include "win/classlib.h"

// Registers the type library, then every class factory: S_OK, SELFREG_E_TYPELIB (nothing else done) or
// SELFREG_E_CLASS.
HRESULT LirrielRegisterServer(BOOL (*registerTypeLib)(const AfxTypeLibrary&));
// Unregisters the type library, then every class factory, with the same codes.
HRESULT LirrielUnregisterServer(BOOL (*unregisterTypeLib)(const GUID&, WORD, WORD));
// The control's type library.
AfxTypeLibrary LirrielTypeLibrary();

// The module's instance handle, under which its dialog and icon are registered.
HINSTANCE LirrielModule();
