#include "BulkExport.h"

#include "archive/Extraction.h"
#include "archive/Listing.h"
#include "io/Paths.h"

#include <filesystem>
#include <system_error>

namespace sv {
namespace {

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
    progress.SetRange(0, data.soundArchive.RecordCount());
    for (const ListedRecord& effect : ListEffects(data)) {
        const std::string path = InFolder(folder, SafeName(effect.name) + ".wav");
        const Status written = folder.empty() ? Status::WriteFailed(path, kNoFolder)
                                              : data.ExtractEffect(effect.index, path, true);
        Count(result, written.Ok(), WavEffectPath(path), Reason(written));
        progress.SetPos(effect.index);
    }
}

void ExportSongs(GameData& data, const std::string& folder, ProgressControl& progress,
                 BulkExportResult& result) {
    progress.SetRange(0, data.songArchive.RecordCount());
    for (const ListedRecord& song : ListSongs(data)) {
        const std::string path = InFolder(folder, SafeName(song.name));
        const Result<GameData::Extraction> extraction =
            folder.empty() ? Status::WriteFailed(path, kNoFolder)
                           : data.ExtractSongFile(song.index, path, true);
        const bool written = extraction && *extraction == GameData::Extraction::Written;
        Count(result, written, MidiSongPath(path),
              extraction ? (written ? "" : kNotConverted) : Reason(extraction.Error()));
        progress.SetPos(song.index);
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
