// anxinfo: prints what a multi-animation file holds and, on request, draws
// all its frames into a contact-sheet PNG. Given a BMP or PNG instead, it
// says how the library and the packer read that picture.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <optional>
#include <string>

#include "command_line.h"
#include "animate.h"
#include "anx_file.h"
#include "colour_check.h"
#include "contact_sheet.h"
#include "input_file.h"
#include "pack.h"
#include "picture_file.h"
#include "picture_report.h"
#include "png_file.h"

namespace {

// Exit statuses: a bad command line or an input file that is damaged or
// cannot be used, and a sheet that could not be written.
constexpr int kExitBadInput = 2;
constexpr int kExitOutput = 1;

// Without --palette: the display's static colours at both ends and an even
// spread of colours between, so that any file shows something.
imageio::Colours DefaultColours() {
    imageio::Colours c = anxpack::DisplayColours();
    for (int i = 10; i < 246; ++i) {
        c[static_cast<std::size_t>(i)] = imageio::Rgb{static_cast<std::uint8_t>((i * 37) % 256),
                                                        static_cast<std::uint8_t>((i * 91) % 256),
                                                        static_cast<std::uint8_t>((i * 53) % 256)};
    }
    return c;
}

void PrintSequences(const anxinfo::AnxFile &f) {
    std::vector<std::string> names;
    for (const anxinfo::Sequence &s : f.sequences) names.push_back(s.meta ? s.meta->name : "");
    const int width = anxpack::NameWidth(names);
    std::printf("\nsequences\n  %-4s %-8s %-*s %-8s %6s %6s %7s %8s %10s %10s %6s\n", "#", "id",
                width, "name", "kind", "frames", "repeat", "markers", "expand", "raw", "stored",
                "ratio");
    std::uint64_t raw = 0, stored = 0;
    std::int64_t frames = 0;
    for (std::size_t i = 0; i < f.sequences.size(); ++i) {
        const anxinfo::Sequence &s = f.sequences[i];
        const std::string id = s.meta ? std::to_string(s.meta->id) : "-";
        std::printf("  %-4zu %-8s %-*s %-8s %6d %6d %7d %8u %10llu %10llu %5.2fx%s\n", i,
                    id.c_str(), width, names[i].c_str(), s.delta ? "delta" : "scalable",
                    s.frameCount, s.RepeatFrames(), s.Markers(), s.expandSize,
                    static_cast<unsigned long long>(s.RawBytes()),
                    static_cast<unsigned long long>(s.StoredBytes()),
                    anxpack::Ratio(s.RawBytes(), s.StoredBytes()), s.valid ? "" : "  (damaged)");
        raw += s.RawBytes();
        stored += s.StoredBytes();
        frames += s.frameCount;
    }
    std::printf("  %-4s %-8s %-*s %-8s %6lld %6s %7s %8s %10llu %10llu %5.2fx\n", "", "total",
                width, (std::to_string(f.sequences.size()) + " sequences").c_str(), "",
                static_cast<long long>(frames), "", "", "", static_cast<unsigned long long>(raw),
                static_cast<unsigned long long>(stored), anxpack::Ratio(raw, stored));
}

void PrintFile(const anxinfo::AnxFile &f) {
    std::printf("file      %s (%zu bytes)\n", f.path.c_str(), f.bytes.size());
    std::printf("header    mark %u, %u sequences, %u number records, body %u bytes (sequences %u)\n", f.mark,
                f.sequenceCount, f.numberCount, f.fullBody, f.shortBody);
    std::printf("\ndirectory\n  %-4s %10s %10s\n", "#", "sequence@", "numbers@");
    for (std::size_t i = 0; i < f.directory.size(); ++i) {
        std::printf("  %-4zu %10u %10u\n", i, f.directory[i].first, f.directory[i].second);
    }
    PrintSequences(f);
    for (const anxinfo::Sequence &s : f.sequences) {
        if (s.meta && s.meta->team) {
            std::printf("\nteam colours %u..%u, shown +%u for the second team\n", s.meta->team->first,
                        s.meta->team->first + s.meta->team->count - 1, s.meta->team->shift);
            break;
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

struct Args {
    std::string path;
    std::string sheet;
    std::string palette;
    bool teams = false;
    int number = 10;
    std::string teamRange;
};

// Parses the command line: nothing to go on, else the status to exit with
// now (0 after the help text; kExitBadInput, with one line naming it, for
// every usage error, an option wanting another among them).
std::optional<int> Parse(int argc, char **argv, Args &args) {
    CLI::App app{
        "Prints the header, directory, sequences and number sets of a multi-animation file, "
        "or how a BMP or PNG picture is read."};
    app.add_option("file", args.path, "multi-animation file, or a BMP or PNG picture")->required();
    auto *sheet =
        app.add_option("--sheet", args.sheet, "write every frame of every sequence into this PNG");
    auto *teams = app.add_flag("--teams", args.teams,
                               "a second row per sequence in the second team's colours")
                      ->needs(sheet);
    app.add_option("--palette", args.palette,
                   "take the sheet's colours from this palette BMP or indexed PNG")
        ->needs(sheet);
    app.add_option("--number", args.number, "shirt number to paint on the sheet")
        ->check(CLI::Range(0, 99))
        ->needs(sheet);
    app.add_option("--team-colours", args.teamRange,
                   "first,count,shift of the kit colours (default: as the file notes)")
        ->needs(teams);
    return imageio::ParseCommandLine(app, argc, argv, "anxinfo");
}

// The sheet's options from the command line, the palette read; nothing
// (and the reason printed) when one is unusable.
std::optional<anxinfo::SheetOptions> SheetOptionsOf(const Args &args) {
    anxinfo::SheetOptions options;
    options.teams = args.teams;
    options.number = args.number;
    options.colours = DefaultColours();
    if (!args.teamRange.empty()) {
        unsigned first = 0, count = 0, shift = 0;
        char extra = 0;
        if (std::sscanf(args.teamRange.c_str(), "%u,%u,%u%c", &first, &count, &shift, &extra) !=
                3 ||
            first > 255 || count > 256 - first || shift > 255) {
            std::fprintf(stderr,
                         "anxinfo: --team-colours wants first,count,shift within 0..255, not %s\n",
                         args.teamRange.c_str());
            return std::nullopt;
        }
        options.teamColours =
            anxpack::TeamColours{static_cast<std::uint8_t>(first), static_cast<std::uint8_t>(count),
                                 static_cast<std::uint8_t>(shift)};
    }
    if (!args.palette.empty()) {
        imageio::IndexedImage palette;
        if (std::string e = anxpack::ReadPicture(args.palette, palette); !e.empty()) {
            std::fprintf(stderr, "anxinfo: %s\n", e.c_str());
            return std::nullopt;
        }
        options.colours = palette.colours;
    }
    return options;
}

// Draws the sheet and writes it, unless the file or the drawing has
// problems: a sheet with frames missing would pass for the whole file.
int WriteSheet(const anxinfo::AnxFile &file, const Args &args, const anxinfo::SheetOptions &options,
               std::vector<std::string> &problems) {
    if (!problems.empty()) return 0;
    imageio::IndexedImage sheet = anxinfo::DrawContactSheet(file, options, problems);
    if (!problems.empty()) return 0;
    if (auto e = imageio::WritePng(args.sheet, sheet, imageio::Transparency::kIndexZero);
        !e.empty()) {
        std::fprintf(stderr, "anxinfo: %s\n", e.c_str());
        return kExitOutput;
    }
    std::printf("\nwrote %s (%dx%d)\n", args.sheet.c_str(), sheet.width, sheet.height);
    return 0;
}

int DescribeAnx(std::vector<std::uint8_t> bytes, const Args &args,
                const std::optional<anxinfo::SheetOptions> &options) {
    std::string error;
    std::optional<anxinfo::AnxFile> file =
        anxinfo::ParseAnxFile(std::move(bytes), args.path, error);
    if (!file) {
        std::fprintf(stderr, "anxinfo: %s\n", error.c_str());
        return kExitBadInput;
    }
    PrintFile(*file);
    std::vector<std::string> problems = file->problems;
    if (options) {
        if (const int status = WriteSheet(*file, args, *options, problems); status != 0)
            return status;
    }
    if (problems.empty()) return 0;
    std::fprintf(stderr, "anxinfo: %s: %zu problem%s%s\n", args.path.c_str(), problems.size(),
                 problems.size() == 1 ? "" : "s", options ? "; no sheet written" : "");
    for (const std::string &p : problems) std::fprintf(stderr, "  %s\n", p.c_str());
    return kExitBadInput;
}

}  // namespace

int main(int argc, char **argv) {
    Args args;
    if (const std::optional<int> status = Parse(argc, argv, args)) return *status;
    // Decoding damaged files may make the library trace; the problems list
    // already says what went wrong.
    AnimSetTraceHandler([](const char *, void *) {}, nullptr);

    std::optional<anxinfo::SheetOptions> options;
    if (!args.sheet.empty()) {
        options = SheetOptionsOf(args);
        if (!options) return kExitBadInput;
    }
    std::vector<std::uint8_t> bytes;
    if (std::string e = imageio::ReadInputFile(args.path, bytes); !e.empty()) {
        std::fprintf(stderr, "anxinfo: %s\n", e.c_str());
        return kExitBadInput;
    }
    if (!anxinfo::IsPicture(bytes)) return DescribeAnx(std::move(bytes), args, options);
    if (options) {
        std::fprintf(stderr, "anxinfo: --sheet draws multi-animation files; %s is a picture\n",
                     args.path.c_str());
        return kExitBadInput;
    }
    const anxinfo::PictureReport report = anxinfo::DescribePicture(bytes, args.path);
    std::printf("%s", report.text.c_str());
    return report.usable ? 0 : kExitBadInput;
}
