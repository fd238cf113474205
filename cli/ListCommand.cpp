// list FOLDER [--work DIR] [--verbose] [--json]: what the main window's tree shows, one
// tab-separated line per item, or one JSON array with each entry's playing time.
#include "Cli.h"
#include "archive/GameData.h"
#include "archive/Listing.h"
#include "audio/PlayingTime.h"

#include <cstdio>
#include <iostream>
#include <optional>
#include <vector>

namespace sv {
namespace {

struct ListOptions {
    std::string folder;
    FolderOptions open;
    bool json = false;
};

void Print(const std::vector<ListedRecord>& records, const char* kind) {
    for (const ListedRecord& r : records) {
        std::cout << kind << '\t' << r.index << '\t' << r.name << '\t' << r.size << '\n';
    }
}

// A JSON string of a record name. Names are the archive's bytes in the game's 8-bit code page;
// a byte above 0x7F is read as the Latin-1 character of that number, so the output stays UTF-8.
std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20 || byte > 0x7F) {
            char escaped[8];
            (void)std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + '"';
}

std::optional<double> SongRecordSeconds(BsaArchive& songs, int index) {
    std::vector<std::uint8_t> bytes(songs.RecordSize(index));
    if (!songs.RecordWithinFile(index) ||
        !songs.ReadRecord(index, bytes.data(), static_cast<std::uint32_t>(bytes.size()))) {
        return std::nullopt;
    }
    return SongSeconds(bytes);
}

// The same entries as the tab-separated lines, with seconds to the millisecond (null for a song
// that does not convert).
void PrintJson(GameData& data) {
    const char* separator = "";
    const auto entry = [&separator](const char* kind, int index, const std::string& name,
                                    std::uint32_t size, std::optional<double> seconds) {
        char time[32] = "null";
        if (seconds) {
            (void)std::snprintf(time, sizeof time, "%.3f", *seconds);
        }
        std::cout << separator << "\n  {\"kind\": \"" << kind << "\", \"index\": " << index
                  << ", \"name\": " << JsonString(name) << ", \"size\": " << size
                  << ", \"seconds\": " << time << '}';
        separator = ",";
    };
    std::cout << '[';
    for (const ListedRecord& r : ListEffects(data)) {
        entry("effect", r.index, r.name, r.size, EffectSeconds(r.size));
    }
    for (const ListedRecord& r : ListSongs(data)) {
        entry("song", r.index, r.name, r.size, SongRecordSeconds(data.songArchive, r.index));
    }
    std::cout << "\n]\n";
}

int RunList(const ListOptions& options) {
    TerminalProgress progress("Rebuilding wyvern.snd");
    GameData data;
    if (const int status = OpenGameFolder(data, options.folder, options.open, progress);
        status != kDone) {
        return status;
    }
    if (options.json) {
        PrintJson(data);
    } else {
        Print(ListEffects(data), "effect");
        Print(ListSongs(data), "song");
    }
    std::cout.flush();
    return std::cout ? kDone : kFailed;
}

} // namespace

void AddListCommand(CLI::App& app, Action& action) {
    auto options = std::make_shared<ListOptions>();
    CLI::App* cmd = app.add_subcommand("list", "List the effects and songs of a game folder");
    cmd->add_option("FOLDER", options->folder, "The game's data folder (Arena2)")->required();
    AddFolderOptions(*cmd, options->open);
    cmd->add_flag("--json", options->json,
                  "Print a JSON array instead: kind, index, name, size and the playing time in "
                  "seconds (null for a song that does not convert)");
    cmd->callback([options, &action] { action = [options] { return RunList(*options); }; });
}

} // namespace sv
