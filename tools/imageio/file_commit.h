// Output files appear whole or not at all: each is written under a
// temporary name beside its target, then renamed over it.
#pragma once

#include <string>

namespace imageio {

// The temporary name a file is written under before CommitFile.
inline std::string TemporaryPathFor(const std::string &path) { return path + ".part"; }

// Renames the temporary file over path. Returns an empty text on success;
// otherwise removes the temporary file and returns "path: reason".
std::string CommitFile(const std::string &path);

// Removes the temporary file of a write that failed; returns "path: reason".
std::string AbandonFile(const std::string &path, const std::string &reason);

}  // namespace imageio
