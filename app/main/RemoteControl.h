// Joins the desktop's remote control (MPRIS, app/mpris/) to the main window and its player: what
// they show becomes the service's state, what clients ask becomes the window's and the player's
// calls. The title is the entry's name in the tree, the album the game folder's name; the loop
// status maps the play modes ("None": play once or play through, "Track": repeat the entry,
// "Playlist": play through and repeat the folder). Without a session bus it does nothing.
#pragma once

#include "app/mpris/MprisService.h"

namespace sv {

class CMediaPlayer;
class MainDialog;

class RemoteControl final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RemoteControl)

public:
    // Serves on the session bus just after the window's first paint (100 ms after it is
    // created, if it is not shown; 2 s at the latest), so that the window does not wait for the
    // bus.
    RemoteControl(MainDialog& window, CMediaPlayer& player);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

    MprisService& Service() { return m_service; }
    // Puts the window's and the player's state into the service now.
    void Update();

private:
    void Connect();
    void Register();
    void SeekBy(qint64 offset);

    MainDialog& m_window;
    CMediaPlayer& m_player;
    MprisService m_service;
    bool m_registerTried = false;
};

} // namespace sv
