// anxpack: packs the sequences a JSON manifest names into one
// multi-animation file.
#include <CLI/CLI.hpp>

#include <unistd.h>

#include <cstdio>
#include <string>

#include "animate.h"
#include "pack.h"

namespace {

// Exit statuses: bad manifest or picture (the user's to fix), and a file
// that could not be written.
constexpr int kExitBadInput = 2;
constexpr int kExitOutput = 1;
constexpr int kBarWidth = 40;

// The library's own traces (the encoder notes unused markers, for one) are
// for someone tuning tables, not for every run.
void ShowTrace(const char *text, void *) { std::fputs(text, stderr); }
void DropTrace(const char *, void *) {}

void DrawBar(std::int32_t done, std::int32_t total) {
    const int filled = total > 0 ? static_cast<int>(static_cast<std::int64_t>(done) * kBarWidth / total) : kBarWidth;
    std::string bar(static_cast<std::size_t>(filled), '#');
    bar.resize(kBarWidth, '.');
    std::printf("\r  coding [%s] %3d%%", bar.c_str(), total > 0 ? done * 100 / total : 100);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char **argv) {
    CLI::App app{"Packs the animation sequences a JSON manifest names into one multi-animation file."};
    std::string manifest;
    std::string output;
    bool quiet = false;
    bool verbose = false;
    app.add_option("manifest", manifest, "JSON manifest naming the sequences and their frames")
        ->required();
    app.add_option("-o,--output", output, "multi-animation file to write")->required();
    app.add_flag("-q,--quiet", quiet, "print nothing but errors");
    app.add_flag("-v,--verbose", verbose, "also print the library's traces");
    CLI11_PARSE(app, argc, argv);
    AnimSetTraceHandler(verbose ? ShowTrace : DropTrace, nullptr);

    const bool bar = !quiet && isatty(STDOUT_FILENO);
    anxpack::Progress progress;
    if (bar) progress = DrawBar;
    anxpack::PackResult result = anxpack::PackManifest(manifest, output, progress);
    if (bar) std::printf("\n");
    if (!quiet) {
        for (const std::string &w : result.warnings) std::fprintf(stderr, "anxpack: warning: %s\n", w.c_str());
    }
    if (!result) {
        std::fprintf(stderr, "anxpack: %s\n", result.error.c_str());
        return result.failure == anxpack::PackFailure::kBadInput ? kExitBadInput : kExitOutput;
    }
    if (!quiet) {
        std::printf("%s", anxpack::SummaryTable(result).c_str());
        std::printf("wrote %s\n", output.c_str());
    }
    return 0;
}
