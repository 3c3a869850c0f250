// The print tool's two modes besides printing: the printer's capabilities as a program's query gets them, and the
// printer's preferences as a program's Print dialog opens them, acted on by the simulated person. Each makes its
// machine from the environment (KQ_ROOT) and installs the printer when it is missing; the answer is the exit code.
#pragma once

#include <string>
#include <vector>

namespace kqprint {

// kqprint --capabilities
int CapabilitiesMode(const std::vector<std::string>& arguments);
// kqprint --properties [ACTIONS] [--script FILE]
int PropertiesMode(const std::vector<std::string>& arguments);

}  // namespace kqprint
