// The desktop program's command line: `sonvault [FOLDER]`, `--help`, `--version`. Read without
// any Qt application object, so that the two questions are answered without a display.
#pragma once

#include <QString>
#include <QStringList>

namespace sv {

struct CommandLine {
    enum class Action { Run, Help, Version, Usage };
    Action action = Action::Run;
    QString folder; // the game folder to open, or empty
    QString error;  // for Usage: names what was not understood
};

// `arguments` without the program's name. "--" ends the options. Qt takes options of its own
// ("-platform offscreen", "-style fusion"), which QApplication removes: before that, with
// `qtOptionsLeft`, single-dash words pass unjudged and no folder is read (a Qt option's value
// cannot be told from one); after it, every unknown option is a usage error.
CommandLine ParseCommandLine(const QStringList& arguments, bool qtOptionsLeft = false);

QString HelpText();
QString VersionText();

} // namespace sv
