// show_player FILE [PNG [modes|voice]]: the media player control holding FILE, repeating it, with
// its context menu open, as the README shows it; with "modes", playing through the folder with
// the play modes' menu open instead; with "voice", the FM voice chosen and the context menu's
// "Voice" submenu open. With a PNG name the screen is saved there once both are drawn,
// and the program ends.
#include "app/player/CMediaPlayer.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
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
    const bool voice = args.size() > 3 && args[3] == QStringLiteral("voice");
    sv::CMediaPlayer player;
    if (voice) {
        player.SetVoice(sv::SongVoice::Fm);
    }
    player.setWindowTitle(QStringLiteral("Sonvault Player"));
    player.resize(560, 90);
    player.move(20, 20);
    player.SetFileName(args[1]);
    player.SetMode(modes ? sv::PlayMode::PlayThrough : sv::PlayMode::RepeatOne);
    player.SetNavigation(true, true);
    player.show();
    QTimer::singleShot(800, &player, [&player, modes, voice] {
        if (modes) {
            // The mode button is the third made; its menu opens below it.
            player.Controls()->findChildren<QToolButton*>().at(2)->showMenu();
            return;
        }
        const QPoint at(voice ? 80 : 300, 30); // room on the right for the submenu
        QApplication::postEvent(
            &player, new QContextMenuEvent(QContextMenuEvent::Mouse, at, player.mapToGlobal(at)));
    });
    if (voice) {
        // The context menu runs its own loop by then; its first entry is the submenu.
        QTimer::singleShot(1200, &player, [] {
            if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
                menu->setActiveAction(menu->actions().at(0));
                menu->actions().at(0)->menu()->popup(
                    menu->mapToGlobal(menu->actionGeometry(menu->actions().at(0)).topRight()));
            }
        });
    }
    if (args.size() > 2) {
        const QString file = args[2];
        QTimer::singleShot(voice ? 2000 : 1600, &app, [file] {
            const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0, 0, 0, 620, 260);
            QApplication::exit(shot.save(file, "PNG") ? 0 : 1);
        });
    }
    return app.exec();
}
