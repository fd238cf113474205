// show_about [PNG]: shows the About box as the application would. With a file name, the window
// is also saved there once it is on screen, and the program ends.
#include "controls/AboutDialog.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    sv::AboutDialog dialog;
    const QStringList args = app.arguments();
    if (args.size() > 1) {
        const QString file = args[1];
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
