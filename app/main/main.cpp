// sonvault: the desktop application. `sonvault [FOLDER]`; the work folder is the directory it is
// started in. --help and --version are answered before any window (or display) is needed.
#include "app/main/CommandLine.h"
#include "app/main/PlayerApp.h"

#include <QApplication>
#include <QDir>
#include <cstdio>
#include <optional>

namespace {

QStringList Arguments(int argc, char** argv) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    return arguments;
}

void Print(std::FILE* stream, const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    (void)std::fwrite(bytes.data(), 1, static_cast<std::size_t>(bytes.size()), stream);
}

} // namespace

int main(int argc, char* argv[]) {
    // The questions and a mistyped option are answered before Qt, which would want a display;
    // the rest once Qt has taken its own options.
    sv::CommandLine line = sv::ParseCommandLine(Arguments(argc, argv), true);
    std::optional<QApplication> application;
    if (line.action == sv::CommandLine::Action::Run) {
        application.emplace(argc, argv);
        line = sv::ParseCommandLine(Arguments(argc, argv));
    }
    switch (line.action) {
    case sv::CommandLine::Action::Help:
        Print(stdout, sv::HelpText());
        return 0;
    case sv::CommandLine::Action::Version:
        Print(stdout, sv::VersionText());
        return 0;
    case sv::CommandLine::Action::Usage:
        Print(stderr, line.error + QStringLiteral("\nUsage: sonvault [FOLDER]\n"));
        return 64;
    case sv::CommandLine::Action::Run:
        break;
    }
    // Remembered as given, but a relative name would be read against another folder next time.
    QString folder = line.folder;
    if (!folder.isEmpty() && QDir::isRelativePath(folder)) {
        folder =
            QDir::toNativeSeparators(QDir::cleanPath(QDir::current().absoluteFilePath(folder)));
    }
    sv::PlayerApp app;
    app.InitInstance(folder);
    return 0;
}
