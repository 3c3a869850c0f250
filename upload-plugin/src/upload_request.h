// What a command hands to the upload worker, which frees it.
#pragma once

#include <string>

namespace sarnoth {

struct UploadRequest {
  std::string path;         // the document's full path
  std::string displayName;  // its file name with the extension
  std::string resultPage;   // the address of the command's result page
};

// Runs the transfer tool on the document and opens the result or error page; 0 when the tool ran, else the
// platform's error code of the failed step.
DWORD UploadDocument(const std::string& path, const std::string& displayName, const std::string& resultPage);

}  // namespace sarnoth
