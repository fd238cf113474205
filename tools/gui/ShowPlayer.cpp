// show_player FILE [PNG]: the media player control holding FILE, "Repeat" on, with its context
// menu open, as the README shows it. With a PNG name the screen is saved there once both are
// drawn, and the program ends.
#include "app/player/CMediaPlayer.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QScreen>
#include <QTimer>
#include <QToolButton>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        return 64;
    }
    sv::CMediaPlayer player;
    player.setWindowTitle(QStringLiteral("Sonvault Player"));
    player.resize(560, 90);
    player.move(20, 20);
    player.SetFileName(args[1]);
    for (QToolButton* button : player.Controls()->findChildren<QToolButton*>()) {
        if (button->text() == QStringLiteral("Repeat") && !button->isChecked()) {
            button->click();
        }
    }
    player.show();
    QTimer::singleShot(800, &player, [&player] {
        const QPoint at(300, 30);
        QApplication::postEvent(
            &player, new QContextMenuEvent(QContextMenuEvent::Mouse, at, player.mapToGlobal(at)));
    });
    if (args.size() > 2) {
        const QString file = args[2];
        QTimer::singleShot(1600, &app, [file] {
            const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0, 0, 0, 620, 260);
            QApplication::exit(shot.save(file, "PNG") ? 0 : 1);
        });
    }
    return app.exec();
}
