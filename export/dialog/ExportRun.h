// The export run behind the main window's export picture: asks what to export with the export
// dialog, then writes the selected song or effect to a file named in the save dialog, or every
// effect and/or every song into the folders given (through the bulk export loop, moving the
// caller's progress control record by record).
#pragma once

#include "archive/GameData.h"
#include "audio/Renderer.h"
#include "io/ProgressControl.h"

#include <QString>
#include <cstdint>
#include <optional>

class QWidget;

namespace sv {

// The tree item selected last: its kind (3 effect, 4 song, anything else a folder), its record
// index and its text, the record's name; and the player's voice, which a song rendered to a
// sound file is played on, as the user last heard it.
struct ExportTarget {
    std::uint32_t kind = 0;
    int index = -1;
    QString text;
    SongVoice voice = SongVoice::SoundFont;
};

// The choice the export dialog ends with.
struct ExportChoice {
    bool selectedOnly = false;
    bool allEffects = false;
    QString effectsPath;
    bool allSongs = false;
    QString songsPath;
};

// Shows the export dialog and carries out the choice; a cancelled dialog writes nothing. Without
// a current item only the bulk export is offered.
void RunExport(QWidget* parent, const std::optional<ExportTarget>& current, GameData& data,
               ProgressControl& progress);

// Carries out a choice made in the export dialog. The single track goes through the save dialog
// (the record's name proposed, the application's form first among the filters, confirmation
// before overwriting) and is written in the form the chosen name's extension asks for
// (export/RecordExport.h); only a rendered form moves the progress control. A file that could
// not be written, or a name of no known form, is said in an error box. A bulk export
// that passed records over says, in one error box at the end, how many files were written and
// passed over and which folder failed first; one that wrote everything says nothing.
void CarryOutExport(QWidget* parent, const std::optional<ExportTarget>& current,
                    const ExportChoice& choice, GameData& data, ProgressControl& progress);

} // namespace sv
