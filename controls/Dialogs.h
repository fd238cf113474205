// The platform's modal dialogs that the windows ask questions with: the folder chooser, the save
// dialog and the one error box. Each goes through a replaceable function so that tests answer the
// question instead of a person, and so that a port has one place to change.
#pragma once

#include <QString>
#include <functional>
#include <optional>

class QWidget;

namespace sv {

struct PlatformDialogs {
    // The folder chooser with `title`; nothing when the user cancels.
    std::function<std::optional<QString>(QWidget* parent, const QString& title)> chooseFolder;
    // The save dialog: `proposedName` in the name field, `defaultSuffix` (with its dot) added to
    // a name typed without one, one `filter` ("MIDI Files (*.mid)"), confirmation before an
    // existing file is replaced; the full path chosen, or nothing when the user cancels.
    std::function<std::optional<QString>(QWidget* parent, const QString& proposedName,
                                         const QString& defaultSuffix, const QString& filter)>
        saveFile;
    // A message box with the error icon and a single OK button.
    std::function<void(QWidget* parent, const QString& text, const QString& caption)> showError;
};

// The dialogs in use: Qt's own until a test replaces them.
PlatformDialogs& Dialogs();
// Qt's dialogs, to restore after a test.
PlatformDialogs QtDialogs();

} // namespace sv
