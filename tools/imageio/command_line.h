// The tools' one way of reading a command line: --help prints and exits 0;
// any other problem (an unknown option, a missing value, an option without
// the one it needs) is one line naming it, and the usage status, before any
// work is done.
#pragma once

#include <CLI/CLI.hpp>

#include <cstdio>
#include <optional>

namespace imageio {

// The status of a command line that cannot be run, as for any bad input.
inline constexpr int kExitUsage = 2;

// Nothing when the tool may go on; otherwise the status to exit with.
inline std::optional<int> ParseCommandLine(CLI::App &app, int argc, char **argv, const char *tool) {
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError &e) {
        if (e.get_exit_code() == 0) return app.exit(e);
        std::fprintf(stderr, "%s: %s\nRun with --help for the options.\n", tool, e.what());
        return kExitUsage;
    }
    return std::nullopt;
}

}  // namespace imageio
