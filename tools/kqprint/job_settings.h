// A job's settings applied to its settings record: each printer-value name sets the record's field it names, with
// the range the printer's values allow.
#pragma once

#include <vector>

#include "job_file.h"
#include "printer_settings/driver_devmode.h"

namespace kqprint {

// Applies the settings in order; when one of them touches the paper, the paper is settled as the printer's forms
// say (a paper size names a form, 256 a custom size, 0 the form by name). Throws JobError naming the setting.
// `printer` is an open printer handle (for its forms).
void ApplySettings(const std::vector<JobSetting>& settings, DriverDevMode& record, HANDLE printer);

}  // namespace kqprint
