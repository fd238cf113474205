#include "BulkExport.h"

#include "archive/Extraction.h"
#include "io/Paths.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace sv {
namespace {

// The one song the game's music browser never offers; compared exactly, case included.
constexpr const char* kSkippedSong = "TAVERN.HMI";

// An empty folder text gives the bare name, which is only reported, never written.
std::string InFolder(const std::string& folder, const std::string& name) {
    return folder.empty() ? name : JoinPath(folder, name);
}

// A failed write leaves its errno behind; the extraction keeps it on the way out.
std::string WriteFailure(const std::string& folder) {
    return folder.empty() ? kNoFolder : std::strerror(errno != 0 ? errno : EIO);
}

void Count(BulkExportResult& result, bool written, const std::string& path,
           const std::string& reason) {
    if (!written) {
        ++result.passedOver;
        result.notWritten.push_back(path);
        result.reasons.push_back(reason);
        return;
    }
    ++result.written;
    std::error_code ec;
    const auto size = std::filesystem::file_size(ToPath(path), ec);
    if (!ec) {
        result.bytes += size;
    }
}

void ExportEffects(GameData& data, const std::string& folder, ProgressControl& progress,
                   BulkExportResult& result) {
    const int count = data.soundArchive.RecordCount();
    progress.SetRange(0, count);
    for (int i = 0; i < count; ++i) {
        std::string name;
        data.soundArchive.RecordName(i, 16, name);
        const std::string path = InFolder(folder, SafeName(name) + ".wav");
        errno = 0;
        const bool written = !folder.empty() && data.ExtractEffect(i, path, true);
        Count(result, written, WavEffectPath(path), written ? "" : WriteFailure(folder));
        progress.SetPos(i);
    }
}

void ExportSongs(GameData& data, const std::string& folder, ProgressControl& progress,
                 BulkExportResult& result) {
    const int count = data.songArchive.RecordCount();
    progress.SetRange(0, count);
    for (int i = 0; i < count; ++i) {
        std::string name;
        data.songArchive.RecordName(i, 16, name);
        if (name == kSkippedSong) {
            continue;
        }
        const std::string path = InFolder(folder, SafeName(name));
        errno = 0;
        const GameData::Extraction extraction =
            folder.empty() ? GameData::Extraction::Failed : data.ExtractSongFile(i, path, true);
        const bool written = extraction == GameData::Extraction::Written;
        Count(result, written, MidiSongPath(path),
              extraction == GameData::Extraction::NotConverted ? kNotConverted
                                                               : WriteFailure(folder));
        progress.SetPos(i);
    }
}

} // namespace

BulkExportResult BulkExport(GameData& data, const BulkExportOptions& options,
                            ProgressControl& progress) {
    BulkExportResult result;
    progress.Show();
    if (options.allEffects) {
        ExportEffects(data, options.effectsPath, progress, result);
    }
    if (options.allSongs) {
        ExportSongs(data, options.songsPath, progress, result);
    }
    progress.Hide();
    return result;
}

} // namespace sv
