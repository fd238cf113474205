// show_player FILE [PNG [modes]]: the media player control holding FILE, repeating it, with its
// context menu open, as the README shows it; with "modes", playing through the folder with the
// play modes' menu open instead. With a PNG name the screen is saved there once both are drawn,
// and the program ends.
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
    const bool modes = args.size() > 3 && args[3] == QStringLiteral("modes");
    sv::CMediaPlayer player;
    player.setWindowTitle(QStringLiteral("Sonvault Player"));
    player.resize(560, 90);
    player.move(20, 20);
    player.SetFileName(args[1]);
    player.SetMode(modes ? sv::PlayMode::PlayThrough : sv::PlayMode::RepeatOne);
    player.SetNavigation(true, true);
    player.show();
    QTimer::singleShot(800, &player, [&player, modes] {
        if (modes) {
            // The mode button is the third made; its menu opens below it.
            player.Controls()->findChildren<QToolButton*>().at(2)->showMenu();
            return;
        }
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
