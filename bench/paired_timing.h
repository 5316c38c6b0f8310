// Ratios between contenders measured in one run on a shared, noisy machine.
// The contenders take turns in short batches and each keeps its best batch,
// so that a burst of another process's work cannot tilt a ratio; the time is
// the thread's CPU time.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <ctime>
#include <functional>
#include <limits>
#include <string>
#include <utility>
#include <vector>

namespace anim::bench {

struct Contender {
    std::string name;
    std::function<void()> run;
};

inline double ThreadNanos() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e9 + static_cast<double>(now.tv_nsec);
}

// Best nanoseconds per call of each contender, in the order given.
inline std::vector<double> BestNanosPerCall(const std::vector<Contender> &contenders) {
    constexpr int kRounds = 60;
    constexpr double kBatchNanos = 40e3;
    constexpr int kCalibrationCalls = 8;
    std::vector<int> batch;
    for (const Contender &c : contenders) {
        const double start = ThreadNanos();
        for (int i = 0; i < kCalibrationCalls; ++i) c.run();
        const double each = std::max(1.0, (ThreadNanos() - start) / kCalibrationCalls);
        batch.push_back(std::max(1, static_cast<int>(kBatchNanos / each)));
    }
    std::vector<double> best(contenders.size(), std::numeric_limits<double>::max());
    for (int round = 0; round < kRounds; ++round) {
        for (std::size_t i = 0; i < contenders.size(); ++i) {
            const double start = ThreadNanos();
            for (int k = 0; k < batch[i]; ++k) contenders[i].run();
            best[i] = std::min(best[i], (ThreadNanos() - start) / batch[i]);
        }
    }
    return best;
}

// Puts counter "<prefix><name>" = time of each later contender / time of the
// first: how many times faster the first one is (above 1: faster).
inline void ReportSpeedRatios(benchmark::State &state, const std::vector<Contender> &contenders,
                              const std::string &prefix = "x_") {
    const std::vector<double> best = BestNanosPerCall(contenders);
    for (std::size_t i = 1; i < contenders.size(); ++i)
        state.counters[prefix + contenders[i].name] = best[i] / best[0];
}

}  // namespace anim::bench
