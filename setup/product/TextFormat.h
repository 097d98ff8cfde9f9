// Language texts used as formats: "%s" placeholders filled from strings, nothing else interpreted.
#pragma once

#include <string>
#include <vector>

namespace Setup::Product::ONDU {

// Replaces each "%s" by the next argument and "%%" by "%". A format that asks for more
// arguments than given, or for anything but a string, raises EInstallerGeneralError naming
// the format; unused arguments are allowed (a translation may leave one out).
std::string FormatText(const std::string& format, const std::vector<std::string>& args);

} // namespace Setup::Product::ONDU
