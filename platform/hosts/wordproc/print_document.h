// Prints a laid-out document, every page, through the engine's application side to a printer opened by name.
#pragma once

#include <string>

#include "document_model.h"
#include "layout.h"

namespace kq::wordproc {

// Synchronous: the driver has run when it returns. False with a reason when the printer cannot be opened or a
// step of the job fails.
bool PrintDocument(const WString& printer, const WString& title, const Document& document, const Layout& layout,
                   std::string* failure);

}  // namespace kq::wordproc
