#include "BulkExport.h"

#include "archive/Extraction.h"
#include "io/Paths.h"

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

std::string Reason(const Status& status) {
    return status ? std::string() : status.Why().reason;
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
        const Status written = folder.empty() ? Status::WriteFailed(path, kNoFolder)
                                              : data.ExtractEffect(i, path, true);
        Count(result, written.Ok(), WavEffectPath(path), Reason(written));
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
        const Result<GameData::Extraction> extraction = folder.empty()
                                                            ? Status::WriteFailed(path, kNoFolder)
                                                            : data.ExtractSongFile(i, path, true);
        const bool written = extraction && *extraction == GameData::Extraction::Written;
        Count(result, written, MidiSongPath(path),
              extraction ? (written ? "" : kNotConverted) : Reason(extraction.Error()));
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
