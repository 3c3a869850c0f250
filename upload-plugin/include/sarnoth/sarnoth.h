// Sarnoth, the reader plug-in that saves or sends the open document to the online document service. The reader
// application loads libSarnoth.so and calls its three exports; everything else it reaches through the callbacks
// the plug-in registers (win/reader_plugin.h).
#pragma once

#include "win/reader_plugin.h"

extern "C" {
// 1 when set up; 0 when the reader has no application interface or its menu bar no "&File" item.
int QV_InitPlugin(kq::reader::HostTable* host);
// "1.1".
const char* QV_GetPluginVersion();
// Stops a running upload and its window (ending the transfer tool), then releases the language registration:
// its answer, or 0 when there was none.
int QV_FreePlugin();
}
