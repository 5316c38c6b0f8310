#include "manifest.h"

#include <cstdio>

#include <filesystem>
#include <limits>
#include <map>
#include <nlohmann/json.hpp>

#include "input_file.h"

namespace anxpack {

std::string OneLineText(const std::string &text) {
    std::string out;
    for (const char c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", static_cast<unsigned char>(c));
            out += escaped;
        } else {
            out += c;
        }
    }
    return out;
}

namespace {

using nlohmann::json;

// Thrown inside the parser only; ParseManifest turns it into its error text.
struct ManifestError {
    std::string text;
};

[[noreturn]] void Fail(const std::string &where, const std::string &what) {
    throw ManifestError{where.empty() ? what : where + ": " + what};
}

// A name from the manifest as an error line may show it: in quotes.
std::string Quoted(const std::string &name) { return "\"" + OneLineText(name) + "\""; }

std::int32_t Int(const json &value, const std::string &where, const char *key, std::int64_t low,
                 std::int64_t high) {
    if (!value.is_number_integer()) Fail(where, std::string("\"") + key + "\" must be a whole number");
    const auto v = value.get<std::int64_t>();
    if (v < low || v > high) {
        Fail(where, std::string("\"") + key + "\" is " + std::to_string(v) + ", outside " +
                        std::to_string(low) + ".." + std::to_string(high));
    }
    return static_cast<std::int32_t>(v);
}

std::string Text(const json &value, const std::string &where, const char *key) {
    if (!value.is_string() || value.get<std::string>().empty()) {
        Fail(where, std::string("\"") + key + "\" must be a file name");
    }
    return value.get<std::string>();
}

void Pair(const json &value, const std::string &where, const char *key, std::int32_t &x,
          std::int32_t &y) {
    constexpr std::int64_t kLimit = std::numeric_limits<std::int16_t>::max();
    if (!value.is_array() || value.size() != 2) Fail(where, std::string("\"") + key + "\" must be [x, y]");
    x = Int(value[0], where, key, -kLimit, kLimit);
    y = Int(value[1], where, key, -kLimit, kLimit);
}

void CheckKeys(const json &object, const std::string &where,
               std::initializer_list<const char *> known) {
    for (const auto &[key, value] : object.items()) {
        bool found = false;
        for (const char *k : known) found = found || key == k;
        if (!found) Fail(where, "unknown key " + Quoted(key));
    }
}

constexpr std::int64_t kMaxCell = 65535;
constexpr std::int64_t kMaxFrames = 32767;

ManifestFrame ReadFrame(const json &f, const std::string &where, const ManifestSequence &seq) {
    if (!f.is_object()) Fail(where, "must be an object");
    CheckKeys(f, where, {"bmp", "cell", "repeat", "adjust", "origin", "number", "number_cell",
                         "number_at"});
    ManifestFrame frame;
    const int sources = static_cast<int>(f.contains("bmp")) + static_cast<int>(f.contains("cell")) +
                        static_cast<int>(f.contains("repeat"));
    if (sources != 1) Fail(where, "needs exactly one of \"bmp\", \"cell\" or \"repeat\"");
    if (f.contains("bmp")) frame.bmp = Text(f["bmp"], where, "bmp");
    if (f.contains("cell")) {
        if (seq.sheet.empty()) Fail(where, "\"cell\" used but the sequence names no \"sheet\"");
        frame.cell = Int(f["cell"], where, "cell", 0, kMaxCell);
    }
    if (f.contains("repeat")) {
        frame.repeat = Int(f["repeat"], where, "repeat", 0, kMaxFrames);
        for (const char *key : {"adjust", "origin", "number", "number_cell", "number_at"}) {
            if (f.contains(key)) Fail(where, std::string("a repeat frame takes no \"") + key + "\"");
        }
    }
    if (f.contains("adjust")) Pair(f["adjust"], where, "adjust", frame.adjustX, frame.adjustY);
    if (f.contains("origin")) {
        std::int32_t x = 0, y = 0;
        Pair(f["origin"], where, "origin", x, y);
        frame.originX = x;
        frame.originY = y;
    }
    if (f.contains("number") && f.contains("number_cell")) {
        Fail(where, "give either \"number\" or \"number_cell\", not both");
    }
    if (f.contains("number")) frame.numberBmp = Text(f["number"], where, "number");
    if (f.contains("number_cell")) {
        if (seq.numberSheet.empty()) {
            Fail(where, "\"number_cell\" used but the sequence names no \"number_sheet\"");
        }
        frame.numberCell = Int(f["number_cell"], where, "number_cell", 0, kMaxCell);
    } else if (frame.cell >= 0 && !seq.numberSheet.empty() && frame.numberBmp.empty()) {
        frame.numberCell = frame.cell;
    }
    if (f.contains("number_at")) Pair(f["number_at"], where, "number_at", frame.numberLeft, frame.numberTop);
    if (seq.delta && (!frame.numberBmp.empty() || frame.numberCell >= 0)) {
        Fail(where, "delta sequences carry no number overlays");
    }
    if (seq.delta && frame.repeat >= 0) Fail(where, "delta sequences have no repeat frames");
    return frame;
}

ManifestSequence ReadSequence(const json &s, const std::string &file, std::size_t index) {
    std::string where = file + ": sequence " + std::to_string(index);
    if (!s.is_object()) Fail(where, "must be an object");
    CheckKeys(s, where, {"id", "name", "kind", "sheet", "number_sheet", "origin", "key_interval",
                         "frames"});
    ManifestSequence seq;
    if (!s.contains("id")) Fail(where, "has no \"id\"");
    seq.id = Int(s["id"], where, "id", std::numeric_limits<std::int32_t>::min(),
                 std::numeric_limits<std::int32_t>::max());
    if (seq.id == -1) Fail(where, "id -1 is reserved for \"no sequence\"");
    where += " (id " + std::to_string(seq.id) + ")";
    if (s.contains("name")) {
        if (!s["name"].is_string()) Fail(where, "\"name\" must be text");
        seq.name = s["name"].get<std::string>();
    }
    const std::string kind = s.contains("kind") && s["kind"].is_string() ? s["kind"].get<std::string>() : "";
    if (kind != "scalable" && kind != "delta") {
        Fail(where, "\"kind\" must be \"scalable\" or \"delta\"");
    }
    seq.delta = kind == "delta";
    if (s.contains("sheet")) seq.sheet = Text(s["sheet"], where, "sheet");
    if (s.contains("number_sheet")) seq.numberSheet = Text(s["number_sheet"], where, "number_sheet");
    if (s.contains("origin")) Pair(s["origin"], where, "origin", seq.originX, seq.originY);
    if (s.contains("key_interval")) {
        if (!seq.delta) Fail(where, "\"key_interval\" applies to delta sequences only");
        seq.keyInterval = Int(s["key_interval"], where, "key_interval", 0, kMaxFrames);
    }
    if (!s.contains("frames") || !s["frames"].is_array() || s["frames"].empty()) {
        Fail(where, "needs a non-empty \"frames\" list");
    }
    if (s["frames"].size() > static_cast<std::size_t>(kMaxFrames)) Fail(where, "has too many frames");
    for (std::size_t i = 0; i < s["frames"].size(); ++i) {
        seq.frames.push_back(ReadFrame(s["frames"][i], where + ", frame " + std::to_string(i), seq));
    }
    for (std::size_t i = 0; i < seq.frames.size(); ++i) {
        const std::int32_t r = seq.frames[i].repeat;
        if (r < 0) continue;
        const std::string at = where + ", frame " + std::to_string(i);
        if (static_cast<std::size_t>(r) >= seq.frames.size()) {
            Fail(at, "repeats frame " + std::to_string(r) + ", beyond the sequence's " +
                         std::to_string(seq.frames.size()) + " frames");
        }
        if (seq.frames[static_cast<std::size_t>(r)].repeat >= 0) {
            Fail(at, "repeats frame " + std::to_string(r) + ", which is itself a repeat");
        }
    }
    return seq;
}

}  // namespace

std::optional<Manifest> ParseManifest(const std::string &text, const std::string &path,
                                      std::string &error) {
    try {
        json root;
        try {
            root = json::parse(text);
        } catch (const json::parse_error &e) {
            Fail(path, std::string("not valid JSON (") + e.what() + ")");
        }
        if (!root.is_object()) Fail(path, "must hold a JSON object");
        CheckKeys(root, path, {"team_colours", "sequences"});
        Manifest manifest;
        manifest.path = path;
        manifest.folder = std::filesystem::path(path).parent_path().string();
        if (root.contains("team_colours")) {
            const json &t = root["team_colours"];
            const std::string where = path + ": team_colours";
            if (!t.is_object()) Fail(where, "must be {\"first\", \"count\", \"shift\"}");
            CheckKeys(t, where, {"first", "count", "shift"});
            for (const char *key : {"first", "count", "shift"}) {
                if (!t.contains(key)) Fail(where, std::string("has no \"") + key + "\"");
            }
            TeamColours team;
            team.first = static_cast<std::uint8_t>(Int(t["first"], where, "first", 0, 255));
            team.count = static_cast<std::uint8_t>(Int(t["count"], where, "count", 0, 256 - team.first));
            team.shift = static_cast<std::uint8_t>(Int(t["shift"], where, "shift", 0, 255));
            manifest.team = team;
        }
        if (!root.contains("sequences") || !root["sequences"].is_array() || root["sequences"].empty()) {
            Fail(path, "needs a non-empty \"sequences\" list");
        }
        std::map<std::int32_t, std::size_t> seen;
        for (std::size_t i = 0; i < root["sequences"].size(); ++i) {
            ManifestSequence seq = ReadSequence(root["sequences"][i], path, i);
            auto [it, fresh] = seen.emplace(seq.id, i);
            if (!fresh) {
                Fail(path, "sequences " + std::to_string(it->second) + " and " + std::to_string(i) +
                               " both use id " + std::to_string(seq.id) + "; ids must differ");
            }
            manifest.sequences.push_back(std::move(seq));
        }
        return manifest;
    } catch (const ManifestError &e) {
        error = e.text;
    } catch (const std::exception &e) {
        error = path + ": " + e.what();
    }
    return std::nullopt;
}

std::optional<Manifest> ReadManifest(const std::string &path, std::string &error) {
    std::vector<std::uint8_t> bytes;
    if (std::string e = imageio::ReadInputFile(path, bytes); !e.empty()) {
        error = e;
        return std::nullopt;
    }
    return ParseManifest(std::string(bytes.begin(), bytes.end()), path, error);
}

}  // namespace anxpack
