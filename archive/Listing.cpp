#include "Listing.h"

#include <string_view>

namespace sv {
namespace {

// Record names are read with this bound, as the game's own lists read them.
constexpr int kNameBound = 16;
constexpr std::string_view kHiddenSong = "TAVERN.HMI";

// hidden: the one name left out, or none.
std::vector<ListedRecord> List(const BsaArchive& archive, const std::string_view* hidden) {
    std::vector<ListedRecord> records;
    records.reserve(static_cast<std::size_t>(archive.RecordCount()));
    for (std::int32_t i = 0; i < archive.RecordCount(); ++i) {
        ListedRecord record{i, {}, archive.RecordSize(i)};
        archive.RecordName(i, kNameBound, record.name);
        if (hidden == nullptr || record.name != *hidden) {
            records.push_back(std::move(record));
        }
    }
    return records;
}

} // namespace

std::vector<ListedRecord> ListEffects(const GameData& data) {
    return List(data.soundArchive, nullptr);
}

std::vector<ListedRecord> ListSongs(const GameData& data) {
    return List(data.songArchive, &kHiddenSong);
}

} // namespace sv
