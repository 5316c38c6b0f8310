// The library's window on the operating system. Everything the library needs
// from outside the C++ standard library -- memory blocks, files, the debugger
// output, message boxes, the message pump and the clock -- goes through here,
// so that games and tests can watch and steer it through the exported hooks.
#pragma once

#include <cstddef>
#include <cstdint>

namespace anim::platform {

// ---- Memory blocks --------------------------------------------------------

// Largest block the memory layer hands out (1 GiB). Keeps every size that
// passes it representable in the signed 32-bit fields of the library's
// records, and keeps a lying file header from claiming the whole machine.
inline constexpr std::size_t kMaxBlockSize = std::size_t{1} << 30;

// A zero-filled block of at least size bytes, or null.
void *AllocBlock(std::size_t size);
// Releases a block from AllocBlock; null is ignored.
void FreeBlock(void *block);
// The size of a block, found again from its pointer (0 for null).
std::size_t BlockSize(const void *block);
// Both end the process through ReportAssertion when the pointer's header
// does not read as a live block's (released already, or not from here): a
// pointer that may not be a block of ours must never reach them.
// Number of blocks currently allocated (leak checks in tests).
std::size_t LiveBlockCount();
// Test hook: the nth block request from now fails (1 = the next one);
// 0 turns failure injection off.
void FailNthAllocation(std::uint32_t n);
// Test hook: requests above limit bytes fail as if memory had run out, so
// that fuzzers can follow huge sizes from lying headers to the refusal
// without touching gigabytes; 0 restores kMaxBlockSize.
void SetBlockSizeLimit(std::size_t limit);

// ---- Files ----------------------------------------------------------------

// An open file, closed when it goes out of scope.
class File {
  public:
    enum class Origin { kBegin, kCurrent, kEnd };

    File() = default;
    File(File &&other) noexcept;
    File &operator=(File &&other) noexcept;
    File(const File &) = delete;
    File &operator=(const File &) = delete;
    ~File();

    // Opens an existing regular file for reading; anything else (a
    // directory, device, fifo or socket) does not open. Never blocks.
    static File OpenRead(const char *path);
    // Creates a file for writing, truncating an existing one.
    static File Create(const char *path);

    bool IsOpen() const { return fd_ >= 0; }
    // Bytes read (fewer at the end of the file), or -1 on error.
    std::int64_t Read(void *buffer, std::size_t count);
    // Bytes written, or -1 on error.
    std::int64_t Write(const void *buffer, std::size_t count);
    // New position from the start, or -1 on error.
    std::int64_t Seek(std::int64_t offset, Origin origin);
    void Close();

  private:
    explicit File(int fd) : fd_(fd) {}
    int fd_ = -1;
};

// ---- Reports and events ----------------------------------------------------

// Sends text to the debugger output (the trace hook), exactly as given.
void DebugOutput(const char *text);
// Shows a message box through the hook; returns the button pressed.
std::int32_t MessageBox(const char *text, const char *caption, std::uint32_t style);
// Shows "Assertion failed" with file and line through the message-box hook,
// then ends the process (ReportAssertion is this behind the C interface).
[[noreturn]] void FailAssertion(const char *file, std::uint32_t line);
// Runs the game's message pump until it reports nothing waiting.
void PumpWindowMessages();

// ---- Clock ----------------------------------------------------------------

// Milliseconds on a steady clock (wraps like a 32-bit tick count).
std::uint32_t TimeGetTime();
// Returns once ms milliseconds have passed since start (a TimeGetTime
// reading), correct across the clock's wrap. On the desktop it watches the
// clock; in a browser the page cannot be held, so it sleeps there and lets
// the page draw and answer events meanwhile (the module is linked with
// ASYNCIFY for that).
void WaitUntilElapsed(std::uint32_t start, std::uint32_t ms);

}  // namespace anim::platform
