// Platform service: listing folders and walking folder trees.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace KVL::Platform {

struct TDirectoryEntry {
  std::string Name;       // the entry's own name, no path
  bool IsFolder = false;  // a folder, or a link that leads to one
  bool IsLink = false;    // a symbolic link or other reparse point
};

// The entries of a folder, without "." and "..", sorted by name (ordinal byte order).
// A folder that cannot be opened raises EKVLFileOpenError naming it and the reason.
std::vector<TDirectoryEntry> ListDirectory(const std::string& path);

// Visits everything below root, depth first, each folder before its content, in
// ListDirectory's order. relativePath joins the names below root with kPathDelim.
// Linked folders are reported but not entered, so that link cycles cannot trap the walk.
void WalkDirectory(const std::string& root,
                   const std::function<void(const std::string& relativePath, const TDirectoryEntry& entry)>& visit);

} // namespace KVL::Platform
