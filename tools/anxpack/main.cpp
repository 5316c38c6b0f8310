// anxpack: packs the sequences a JSON manifest names into one
// multi-animation file.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <optional>
#include <string>

#include "command_line.h"
#include "animate.h"
#include "pack.h"
#include "picture_file.h"

namespace {

// Exit statuses: a bad command line, manifest or picture (the user's to
// fix), and a file that could not be written.
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

struct Args {
    std::string manifest;
    std::string output;
    std::string palette;
    bool strict = false;
    bool quiet = false;
    bool verbose = false;
};

// Parses the command line: nothing to go on, else the status to exit with
// now (0 after the help text; kExitBadInput, with one line naming it, for
// every usage error).
std::optional<int> Parse(int argc, char **argv, Args &args) {
    CLI::App app{
        "Packs the animation sequences a JSON manifest names into one multi-animation file."};
    app.add_option("manifest", args.manifest, "JSON manifest naming the sequences and their frames")
        ->required();
    app.add_option("-o,--output", args.output, "multi-animation file to write")->required();
    app.add_option(
        "--palette", args.palette,
        "compare every frame's colours with this picture's (a palette BMP or indexed PNG) "
        "instead of the first frame's");
    app.add_flag("--strict", args.strict,
                 "refuse art whose colours would show wrong, instead of warning");
    auto *quiet = app.add_flag("-q,--quiet", args.quiet, "print nothing but errors");
    app.add_flag("-v,--verbose", args.verbose, "also print the library's traces")->excludes(quiet);
    return imageio::ParseCommandLine(app, argc, argv, "anxpack");
}

}  // namespace

int main(int argc, char **argv) {
    Args args;
    if (const std::optional<int> status = Parse(argc, argv, args)) return *status;
    AnimSetTraceHandler(args.verbose ? ShowTrace : DropTrace, nullptr);

    anxpack::PackOptions options;
    options.strict = args.strict;
    if (!args.palette.empty()) {
        imageio::IndexedImage palette;
        if (std::string e = anxpack::ReadPicture(args.palette, palette); !e.empty()) {
            std::fprintf(stderr, "anxpack: %s\n", e.c_str());
            return kExitBadInput;
        }
        options.palette = anxpack::ColourReference{args.palette, palette.colours};
    }

    const bool bar = !args.quiet && isatty(STDOUT_FILENO);
    anxpack::Progress progress;
    if (bar) progress = DrawBar;
    anxpack::PackResult result =
        anxpack::PackManifest(args.manifest, args.output, progress, options);
    if (bar) std::printf("\n");
    // Under --strict the colour lines are the reasons for the refusal, so
    // they are printed even when quiet.
    if (!args.quiet || (!result && args.strict)) {
        for (const std::string &w : result.warnings) std::fprintf(stderr, "anxpack: warning: %s\n", w.c_str());
    }
    if (!result) {
        std::fprintf(stderr, "anxpack: %s\n", result.error.c_str());
        return result.failure == anxpack::PackFailure::kBadInput ? kExitBadInput : kExitOutput;
    }
    if (!args.quiet) {
        std::printf("%s", anxpack::SummaryTable(result).c_str());
        std::printf("wrote %s\n", args.output.c_str());
    }
    return 0;
}
