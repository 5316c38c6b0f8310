// anxinfo: prints what a multi-animation file holds and, on request, draws
// all its frames into a contact-sheet PNG.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <string>

#include "animate.h"
#include "anx_file.h"
#include "bmp_file.h"
#include "contact_sheet.h"
#include "png_file.h"

namespace {

constexpr int kExitBadFile = 2;
constexpr int kExitOutput = 1;

// Without --palette: the display's usual static colours at both ends and an
// even spread of colours between, so that any file shows something.
imageio::Colours DefaultColours() {
    imageio::Colours c{};
    for (int i = 0; i < 256; ++i) {
        c[static_cast<std::size_t>(i)] = imageio::Rgb{static_cast<std::uint8_t>((i * 37) % 256),
                                                        static_cast<std::uint8_t>((i * 91) % 256),
                                                        static_cast<std::uint8_t>((i * 53) % 256)};
    }
    c[0] = {0, 0, 0};
    c[251] = {255, 255, 0};
    c[255] = {255, 255, 255};
    return c;
}

void PrintFile(const anxinfo::AnxFile &f) {
    std::printf("file      %s (%zu bytes)\n", f.path.c_str(), f.bytes.size());
    std::printf("header    mark %u, %u sequences, %u number records, body %u bytes (sequences %u)\n", f.mark,
                f.sequenceCount, f.numberCount, f.fullBody, f.shortBody);
    std::printf("\ndirectory\n  %-4s %10s %10s\n", "#", "sequence@", "numbers@");
    for (std::size_t i = 0; i < f.directory.size(); ++i) {
        std::printf("  %-4zu %10u %10u\n", i, f.directory[i].first, f.directory[i].second);
    }
    std::printf("\nsequences\n  %-4s %-8s %-14s %-8s %6s %6s %7s %8s %10s %10s %6s\n", "#", "id", "name", "kind",
                "frames", "repeat", "markers", "expand", "raw", "stored", "ratio");
    for (std::size_t i = 0; i < f.sequences.size(); ++i) {
        const anxinfo::Sequence &s = f.sequences[i];
        const std::string id = s.meta ? std::to_string(s.meta->id) : "-";
        const std::string name = s.meta ? s.meta->name : "";
        const double ratio = s.size ? static_cast<double>(s.RawBytes()) / static_cast<double>(s.size) : 0.0;
        std::printf("  %-4zu %-8s %-14.14s %-8s %6d %6d %7d %8u %10llu %10zu %5.2fx%s\n", i, id.c_str(), name.c_str(),
                    s.delta ? "delta" : "scalable", s.frameCount, s.RepeatFrames(), s.Markers(), s.expandSize,
                    static_cast<unsigned long long>(s.RawBytes()), s.size, ratio, s.valid ? "" : "  (damaged)");
    }
    bool any_team = false;
    for (const anxinfo::Sequence &s : f.sequences) {
        if (s.meta && s.meta->team && !any_team) {
            std::printf("\nteam colours %u..%u, shown +%u for the second team\n", s.meta->team->first,
                        s.meta->team->first + s.meta->team->count - 1, s.meta->team->shift);
            any_team = true;
        }
    }
    std::printf("\nnumber sets\n");
    bool any = false;
    for (std::size_t i = 0; i < f.sequences.size(); ++i) {
        const anxinfo::Sequence &s = f.sequences[i];
        if (!s.numbers) continue;
        any = true;
        int with = 0;
        for (const auto &o : s.numbers->overlays) with += o ? 1 : 0;
        std::printf("  sequence %-4zu %3d overlay entries, %3d with a number\n", i, s.numbers->frameCount, with);
    }
    if (!any) std::printf("  none\n");
}

// What --sheet and its companions ask for.
struct SheetArgs {
    std::string path;
    std::string palette;
    bool teams = false;
    int number = 10;
    std::string teamRange;
};

// Draws and writes the contact sheet, adding what cannot be drawn to
// problems; 0, or the exit status of a refusal.
int WriteSheet(const anxinfo::AnxFile &file, const SheetArgs &args,
               std::vector<std::string> &problems) {
    anxinfo::SheetOptions options;
    options.teams = args.teams;
    options.number = args.number;
    options.colours = DefaultColours();
    if (!args.palette.empty()) {
        imageio::IndexedImage palette_source;
        if (auto e = anxpack::ReadBmp8(args.palette, palette_source); !e.empty()) {
            std::fprintf(stderr, "anxinfo: %s\n", e.c_str());
            return kExitBadFile;
        }
        options.colours = palette_source.colours;
    }
    if (!args.teamRange.empty()) {
        unsigned first = 0, count = 0, shift = 0;
        if (std::sscanf(args.teamRange.c_str(), "%u,%u,%u", &first, &count, &shift) != 3 || first > 255 ||
            count > 256 - first || shift > 255) {
            std::fprintf(stderr, "anxinfo: --team-colours wants first,count,shift within 0..255\n");
            return kExitBadFile;
        }
        options.teamColours = anxpack::TeamColours{static_cast<std::uint8_t>(first),
                                                   static_cast<std::uint8_t>(count),
                                                   static_cast<std::uint8_t>(shift)};
    }
    imageio::IndexedImage sheet = anxinfo::DrawContactSheet(file, options, problems);
    if (auto e = imageio::WritePng(args.path, sheet); !e.empty()) {
        std::fprintf(stderr, "anxinfo: %s\n", e.c_str());
        return kExitOutput;
    }
    std::printf("\nwrote %s (%dx%d)\n", args.path.c_str(), sheet.width, sheet.height);
    return 0;
}

}  // namespace

int main(int argc, char **argv) {
    CLI::App app{"Prints the header, directory, sequences and number sets of a multi-animation file."};
    std::string path;
    SheetArgs sheet;
    app.add_option("file", path, "multi-animation file")->required();
    app.add_option("--sheet", sheet.path, "write every frame of every sequence into this PNG");
    app.add_flag("--teams", sheet.teams, "with --sheet: a second row per sequence in the second team's colours");
    app.add_option("--palette", sheet.palette, "with --sheet: take the colours from this 8-bit BMP");
    app.add_option("--number", sheet.number, "with --sheet: shirt number to paint")->check(CLI::Range(0, 99));
    app.add_option("--team-colours", sheet.teamRange,
                   "with --teams: first,count,shift of the kit colours (default: as the file notes)");
    CLI11_PARSE(app, argc, argv);
    // Decoding damaged files may make the library trace; the problems list
    // below already says what went wrong.
    AnimSetTraceHandler([](const char *, void *) {}, nullptr);

    std::string error;
    std::optional<anxinfo::AnxFile> file = anxinfo::ReadAnxFile(path, error);
    if (!file) {
        std::fprintf(stderr, "anxinfo: %s\n", error.c_str());
        return kExitBadFile;
    }
    PrintFile(*file);

    std::vector<std::string> problems = file->problems;
    if (!sheet.path.empty()) {
        if (const int status = WriteSheet(*file, sheet, problems); status != 0) return status;
    }
    if (!problems.empty()) {
        std::fprintf(stderr, "anxinfo: %s: %zu problem%s\n", path.c_str(), problems.size(), problems.size() == 1 ? "" : "s");
        for (const std::string &p : problems) std::fprintf(stderr, "  %s\n", p.c_str());
        return kExitBadFile;
    }
    return 0;
}
