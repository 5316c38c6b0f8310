// The clock the paint timers and the wipe's pacing read, and the wait on it.
#include <chrono>
#include <thread>

#include "platform/platform.h"

#ifdef __EMSCRIPTEN__
#include <emscripten.h>
#endif

namespace anim::platform {

std::uint32_t TimeGetTime() {
    using namespace std::chrono;
    auto ms = duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    return static_cast<std::uint32_t>(ms);
}

void WaitUntilElapsed(std::uint32_t start, std::uint32_t ms) {
    // Unsigned difference: correct across the clock's wrap.
    for (std::uint32_t passed = TimeGetTime() - start; passed < ms;
         passed = TimeGetTime() - start) {
#ifdef __EMSCRIPTEN__
        // The browser's one thread is the page's too: spinning here would
        // freeze it for the whole wait, so hand it back until the time is up.
        emscripten_sleep(ms - passed);
#else
        std::this_thread::yield();
#endif
    }
}

}  // namespace anim::platform
