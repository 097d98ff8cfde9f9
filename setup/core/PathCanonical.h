// Canonical form of the paths the installation script produces.
#pragma once

#include <string>
#include <string_view>

namespace Setup::Core {

// Cleans a path built from script text: splits off the root (a drive "C:", a share
// "\\server\share", or on '/'-systems a leading "/"), splits the rest at '\' and '/',
// cleans each component (a double quote becomes a single one; \ < > * : ? | / and
// control characters go; leading spaces and trailing spaces and dots go; at most 260
// UTF-16 units) and joins the non-empty ones with delim, keeping a trailing separator only
// when the text had one. A ".." component thus vanishes: no path climbs out of its root.
std::string CanonicalizePath(std::string_view path, char delim);

} // namespace Setup::Core
