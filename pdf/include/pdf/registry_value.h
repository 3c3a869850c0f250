// Writing one registry value from text, as the job's result value ("FileName") is written.
#pragma once

#include "win/base.h"
#include "win/registry.h"

// Writes `text` as value `valueName` of `subKey` (opened or created under `root` with the right to set values;
// an empty or null subkey writes under `root` itself). REG_DWORD and REG_DWORD_BIG_ENDIAN take the text as a
// decimal number (as far as it reads as one; otherwise 0) in 4 bytes, of their byte order; REG_BINARY and
// REG_MULTI_SZ are not written; every other type writes the text's characters without a terminating zero.
// Failures are not reported.
void SetRegistryValueFromText(HKEY root, LPCWSTR subKey, LPCWSTR valueName, LPCWSTR text, DWORD type);

// The job's result: "FileName" under the current user's key "Software\Kelvo Software\PDF Zedarod", the path of
// the file a job made or "FALSE".
void RecordJobResult(LPCWSTR text);
