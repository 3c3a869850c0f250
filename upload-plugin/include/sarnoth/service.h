// The online document service as the plug-in addresses it, and the transfer tool's command line. The service's
// host is one constant; the environment variable KQ_UPLOAD_SERVICE (a host, with ":port" when needed) points the
// plug-in elsewhere, a test server for instance.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace sarnoth {

inline constexpr const char* kServiceHost = "www.vendrel.com";
inline constexpr const char* kServiceSetting = "KQ_UPLOAD_SERVICE";

// Limits of what the plug-in hands on: a command line or an address longer than this is not used.
inline constexpr std::size_t kMaxCommandLine = 8192;
inline constexpr std::size_t kMaxAddress = 2048;
// The longest answer of the service that is taken as a stored file's name.
inline constexpr std::size_t kMaxAnswer = 259;

std::string ServiceHost();

// "http://host/path" or, secure, "https://host/path".
std::string ServiceAddress(bool secure, std::string_view pathAndQuery);

// Every byte but the unreserved ones (letters, digits, "-", ".", "_", "~") as "%XX".
std::string PercentEncode(std::string_view text);

// The transfer tool beside the plug-in's module file: its folder, then "curl\curl.exe".
std::string ToolPathBeside(std::string_view modulePath);

// The tool's command line: its quoted path, "--fail" (an answer of the service that is an HTTP error is a
// failure), and the form field "file" with the document and its display name in the tool's quoted form, each
// argument quoted by the platform's command-line rules; then the upload address. Nothing when it would be longer
// than kMaxCommandLine.
std::optional<std::string> ToolCommandLine(std::string_view toolPath, std::string_view documentPath,
                                           std::string_view displayName, std::string_view uploadAddress);

// The result page for the service's answer (the stored file's name), or nothing when the answer is empty, longer
// than kMaxAnswer or holds a line break, or the address would be longer than kMaxAddress.
std::optional<std::string> ResultAddress(std::string_view resultPage, std::string_view answer,
                                         std::string_view displayName);

// The tool's error number from its standard error ("curl: (N)"): N, 0 when "curl:" stands there without a
// readable number, nothing without "curl:".
std::optional<int> ToolErrorCode(std::string_view standardError);

// The error page for an error number.
std::string ErrorAddress(int code);

}  // namespace sarnoth
