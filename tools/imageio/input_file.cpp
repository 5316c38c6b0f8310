#include "input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace imageio {
namespace {

// Closes the descriptor it holds.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

std::string Reason(const std::string &path, const char *what, int error) {
    return path + ": " + what + " (" + std::strerror(error) + ")";
}

}  // namespace

std::string ReadInputFile(const std::string &path, std::vector<std::uint8_t> &bytes) {
    bytes.clear();
    // Non-blocking, so that opening a fifo with no writer returns at once;
    // the kind of file is then asked of what was opened, not of the name.
    const Descriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0) return Reason(path, "cannot open the file", errno);
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) return Reason(path, "cannot read the file", errno);
    if (S_ISDIR(info.st_mode)) return path + ": is a folder, not a file";
    if (!S_ISREG(info.st_mode)) return path + ": is not a regular file (a fifo, socket or device)";
    if (static_cast<std::uint64_t>(info.st_size) > kMaxInputSize) {
        return path + ": " + std::to_string(info.st_size) + " bytes, more than the " +
               std::to_string(kMaxInputSize >> 20) + " MiB the tools read";
    }
    std::vector<std::uint8_t> data(static_cast<std::size_t>(info.st_size));
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::read(fd.get(), data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return Reason(path, "cannot read the file", errno);
        if (n == 0) break;  // shrank while being read: take what is there
        done += static_cast<std::size_t>(n);
    }
    data.resize(done);
    bytes = std::move(data);
    return {};
}

}  // namespace imageio
