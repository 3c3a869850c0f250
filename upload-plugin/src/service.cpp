// Addresses of the document service and the transfer tool's command line.
#include "sarnoth/service.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace sarnoth {

namespace {

// One argument by the platform's command-line rules: quoted, with a quote written as \" and the backslashes
// before a quote (or before the closing quote) doubled.
std::string QuoteArgument(std::string_view argument) {
  std::string quoted = "\"";
  std::size_t backslashes = 0;
  for (char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    if (c == '"') {
      quoted.append(backslashes * 2 + 1, '\\');
    } else {
      quoted.append(backslashes, '\\');
    }
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, '\\');
  quoted += '"';
  return quoted;
}

// A text in the tool's quoted form for form fields: in quotes, with a backslash before every quote and backslash.
std::string ToolQuoted(std::string_view text) {
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') quoted += '\\';
    quoted += c;
  }
  quoted += '"';
  return quoted;
}

}  // namespace

std::string ServiceHost() {
  const char* setting = std::getenv(kServiceSetting);
  return setting && *setting ? setting : kServiceHost;
}

std::string ServiceAddress(bool secure, std::string_view pathAndQuery) {
  return std::string(secure ? "https://" : "http://") + ServiceHost() + std::string(pathAndQuery);
}

std::string PercentEncode(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string encoded;
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    const bool unreserved = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
                            (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' || byte == '_' ||
                            byte == '~';
    if (unreserved) {
      encoded += c;
    } else {
      encoded += '%';
      encoded += kHex[byte >> 4];
      encoded += kHex[byte & 0xF];
    }
  }
  return encoded;
}

std::string ToolPathBeside(std::string_view modulePath) {
  const auto cut = modulePath.find_last_of("\\/");
  return std::string(modulePath.substr(0, cut == std::string_view::npos ? 0 : cut + 1)) + "curl\\curl.exe";
}

std::optional<std::string> ToolCommandLine(std::string_view toolPath, std::string_view documentPath,
                                           std::string_view displayName, std::string_view uploadAddress) {
  const std::string form = "file=@" + ToolQuoted(documentPath) + ";filename=" + ToolQuoted(displayName);
  std::string line = QuoteArgument(toolPath) + " --fail -F " + QuoteArgument(form) + " " +
                     QuoteArgument(uploadAddress);
  if (line.size() > kMaxCommandLine) return std::nullopt;
  return line;
}

std::optional<std::string> ResultAddress(std::string_view resultPage, std::string_view answer,
                                         std::string_view displayName) {
  if (answer.empty() || answer.size() > kMaxAnswer || answer.find_first_of("\r\n") != std::string_view::npos)
    return std::nullopt;
  std::string address = std::string(resultPage) + "?filename=" + PercentEncode(answer) +
                        "&originalfilename=" + PercentEncode(displayName);
  if (address.size() > kMaxAddress) return std::nullopt;
  return address;
}

std::optional<int> ToolErrorCode(std::string_view standardError) {
  const auto at = standardError.find("curl:");
  if (at == std::string_view::npos) return std::nullopt;
  const std::string rest(standardError.substr(at));
  int code = 0;
  if (std::sscanf(rest.c_str(), "curl: (%d)", &code) != 1) code = 0;
  return code;
}

std::string ErrorAddress(int code) {
  char path[64];
  std::snprintf(path, sizeof path, "/desktopprintererror.asp?errorcode=%d", code);
  return ServiceAddress(false, path);
}

}  // namespace sarnoth
