#include "file_commit.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace imageio {

std::string CommitFile(const std::string &path) {
    const std::string temporary = TemporaryPathFor(path);
    std::error_code ec;
    std::filesystem::rename(temporary, path, ec);
    if (ec) return AbandonFile(path, ec.message());
    return {};
}

std::string AbandonFile(const std::string &path, const std::string &reason) {
    std::remove(TemporaryPathFor(path).c_str());
    return path + ": " + reason;
}

}  // namespace imageio
