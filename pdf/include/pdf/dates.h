// The two date forms of the file: the information dictionary's PDF date and the XMP date, both in the machine's
// time zone with its offset from UTC.
#pragma once

#include <string>

#include "win/sysinfoapi.h"

// "(D:YYYYMMDDHHmmSS+HH'mm')" of the local time of `utc`; a zero offset is written Z00'00'.
std::string PdfDateString(const SYSTEMTIME& utc);
// "YYYY-MM-DDTHH:mm:SS+HH:mm" of the local time of `utc`; a zero offset is written Z alone.
std::string XmpDateString(const SYSTEMTIME& utc);
