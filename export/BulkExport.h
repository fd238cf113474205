// Exporting every effect and every song of an open game folder: effects as "name.wav" in the
// effects folder, songs (all but "TAVERN.HMI") as their lower-cased name with ".mid" in the
// songs folder, in record order. Qt-free: the desktop export run and the command-line tool both
// call it, each with its own progress control.
#pragma once

#include "archive/GameData.h"
#include "io/ProgressControl.h"

#include <cstdint>
#include <string>
#include <vector>

namespace sv {

struct BulkExportOptions {
    bool allEffects = false;
    std::string effectsPath;
    bool allSongs = false;
    std::string songsPath;
};

struct BulkExportResult {
    int written = 0;
    int passedOver = 0;
    std::uint64_t bytes = 0;             // sizes of the files written
    std::vector<std::string> notWritten; // the paths of the records passed over
    // Why each of them was: the system's words for the failed write, kNotConverted or kNoFolder.
    std::vector<std::string> reasons;
};

inline constexpr const char* kNotConverted = "not an HMI song that converts";
inline constexpr const char* kNoFolder = "no folder given";

// Shows the progress control, sets its range to each archive's record count and its position to
// each record's index after the record (a skipped "TAVERN.HMI" sends none), and hides it again.
// Record names pass through SafeName, so nothing is written outside the folders given. A record
// that cannot be written is passed over and the run goes on; an empty folder text writes
// nothing, and its records count as passed over.
BulkExportResult BulkExport(GameData& data, const BulkExportOptions& options,
                            ProgressControl& progress);

} // namespace sv
