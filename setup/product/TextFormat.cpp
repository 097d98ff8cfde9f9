// Language texts used as formats.
#include "setup/product/TextFormat.h"

#include "setup/core/Errors.h"

namespace Setup::Product::ONDU {

std::string FormatText(const std::string& format, const std::vector<std::string>& args) {
  std::string result;
  size_t next = 0;
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%') {
      result += format[i];
      continue;
    }
    const char kind = i + 1 < format.size() ? format[i + 1] : '\0';
    if (kind == '%') {
      result += '%';
    } else if (kind == 's' || kind == 'S') {
      if (next >= args.size()) {
        std::string message = "Format \"";
        message += format;
        message += "\" asks for more than ";
        message += std::to_string(args.size());
        message += args.size() == 1 ? " argument" : " arguments";
        throw Setup::Core::EInstallerGeneralError(message);
      }
      result += args[next++];
    } else {
      // Widths, indexes and other types would read arguments this caller never passes.
      std::string message = "Format \"";
      message += format;
      message += "\" has a placeholder other than %s at position ";
      message += std::to_string(i + 1);
      throw Setup::Core::EInstallerGeneralError(message);
    }
    ++i;
  }
  return result;
}

} // namespace Setup::Product::ONDU
