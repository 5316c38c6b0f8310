// Files on POSIX descriptors.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "platform/platform.h"

namespace anim::platform {

File::File(File &&other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

File &File::operator=(File &&other) noexcept {
    if (this != &other) {
        Close();
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

File::~File() {
    Close();
}

File File::OpenRead(const char *path) {
    if (path == nullptr) return File();
    // Only a regular file holds something to read. A directory would open
    // and fail later, and a fifo without a writer would block the open
    // forever, so the name is opened without blocking and then looked at
    // through the descriptor itself: nothing can swap it in between.
    File file(::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (!file.IsOpen()) return file;
    struct stat info {};
    if (::fstat(file.fd_, &info) != 0 || !S_ISREG(info.st_mode)) return File();
    // Reads then behave as on any descriptor opened the ordinary way.
    const int flags = ::fcntl(file.fd_, F_GETFL);
    if (flags < 0 || ::fcntl(file.fd_, F_SETFL, flags & ~O_NONBLOCK) != 0) return File();
    return file;
}

File File::Create(const char *path) {
    if (path == nullptr) return File();
    return File(::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
}

std::int64_t File::Read(void *buffer, std::size_t count) {
    if (fd_ < 0) return -1;
    auto *out = static_cast<unsigned char *>(buffer);
    std::size_t done = 0;
    while (done < count) {
        ssize_t got = ::read(fd_, out + done, count - done);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return done > 0 ? static_cast<std::int64_t>(done) : -1;
        if (got == 0) break;
        done += static_cast<std::size_t>(got);
    }
    return static_cast<std::int64_t>(done);
}

std::int64_t File::Write(const void *buffer, std::size_t count) {
    if (fd_ < 0) return -1;
    const auto *in = static_cast<const unsigned char *>(buffer);
    std::size_t done = 0;
    while (done < count) {
        ssize_t put = ::write(fd_, in + done, count - done);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return done > 0 ? static_cast<std::int64_t>(done) : -1;
        done += static_cast<std::size_t>(put);
    }
    return static_cast<std::int64_t>(done);
}

std::int64_t File::Seek(std::int64_t offset, Origin origin) {
    if (fd_ < 0) return -1;
    int whence = origin == Origin::kBegin     ? SEEK_SET
                 : origin == Origin::kCurrent ? SEEK_CUR
                                              : SEEK_END;
    return ::lseek(fd_, static_cast<off_t>(offset), whence);
}

void File::Close() {
    if (fd_ >= 0) ::close(std::exchange(fd_, -1));
}

}  // namespace anim::platform
