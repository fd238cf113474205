#include "app/main/CommandLine.h"

namespace sv {

CommandLine ParseCommandLine(const QStringList& arguments, bool qtOptionsLeft) {
    CommandLine line;
    bool options = true;
    int folders = 0;
    for (const QString& argument : arguments) {
        if (options && argument == QLatin1String("--")) {
            options = false;
        } else if (options &&
                   (argument == QLatin1String("-h") || argument == QLatin1String("--help"))) {
            return {CommandLine::Action::Help, {}, {}};
        } else if (options && argument == QLatin1String("--version")) {
            return {CommandLine::Action::Version, {}, {}};
        } else if (qtOptionsLeft && !(options && argument.startsWith(QLatin1String("--")))) {
            continue;
        } else if (options && argument.startsWith(QLatin1Char('-')) && argument.size() > 1) {
            line = {CommandLine::Action::Usage,
                    {},
                    QStringLiteral("Unknown option \"%1\".").arg(argument)};
        } else if (++folders == 1) {
            line.folder = argument;
        } else if (line.action == CommandLine::Action::Run) {
            line = {CommandLine::Action::Usage,
                    {},
                    QStringLiteral("One game folder at most; \"%1\" is a second.").arg(argument)};
        }
    }
    if (line.action == CommandLine::Action::Usage) {
        line.folder.clear();
    }
    return line;
}

QString HelpText() {
    return QStringLiteral(
        "Usage: sonvault [FOLDER]\n"
        "Browse, play and export the music and sound effects of Tarnholm.\n"
        "\n"
        "With FOLDER, that game folder (the one the game calls \"Arena2\") opens at start-up as\n"
        "one chosen in the folder dialog: it is remembered when it opens; when it does not, the\n"
        "error box says so and the folder remembered before opens instead. Without FOLDER, the\n"
        "folder last opened through the folder dialog opens.\n"
        "\n"
        "The work folder, where \"temp.mid\" and \"temp.wav\" are written while playing and a\n"
        "missing \"wyvern.snd\" is rebuilt from \"PACKED.DAT\", is the current directory. The\n"
        "folder last opened is kept in \"Sonvault.conf\" in the folder \"Merrow Applications\"\n"
        "of $XDG_CONFIG_HOME (~/.config).\n"
        "\n"
        "Options:\n"
        "  -h, --help     print this help and exit\n"
        "  --version      print the version and exit\n"
        "\n"
        "While the window runs, the media keys play, pause, stop and skip, and the desktop's\n"
        "media controls reach it through MPRIS as org.mpris.MediaPlayer2.sonvault.\n");
}

QString VersionText() {
    return QStringLiteral("sonvault 1.0.0.1\n");
}

} // namespace sv
