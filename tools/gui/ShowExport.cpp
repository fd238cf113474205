// show_export KIND [PNG]: shows the export dialog opened for a tree item of KIND (3 effect,
// 4 song, 2 root folder) as the export run would. With a file name, the window is also saved
// there once it is on screen, and the program ends.
#include "export/dialog/CExportDialog.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        qWarning("usage: show_export KIND [PNG]");
        return 64;
    }
    sv::CExportDialog dialog;
    dialog.m_nSelectedKind = args[1].toUInt();
    if (args.size() > 2) {
        const QString file = args[2];
        QTimer::singleShot(500, &dialog, [&dialog, file] {
            const bool saved = dialog.grab().save(file, "PNG");
            QApplication::exit(saved ? 0 : 1);
        });
        dialog.show();
        return app.exec();
    }
    dialog.exec();
    return 0;
}
