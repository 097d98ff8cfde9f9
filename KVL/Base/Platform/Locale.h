// Platform service: locale-aware case mapping of UTF-16 text.
#pragma once

#include <string>
#include <string_view>

namespace KVL::Platform {

// Upper-cases text the way the user's locale does; length in code units is preserved.
std::u16string UpperCaseLocale(std::u16string_view s);

} // namespace KVL::Platform
