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

class RemoteControl final {
public:
    // Serves on the session bus once the window's event loop runs, so that start-up does not
    // wait for the bus.
    RemoteControl(MainDialog& window, CMediaPlayer& player);
    RemoteControl(const RemoteControl&) = delete;
    RemoteControl& operator=(const RemoteControl&) = delete;

    MprisService& Service() { return m_service; }
    // Puts the window's and the player's state into the service now.
    void Update();

private:
    void Connect();
    void SeekBy(qint64 offset);

    MainDialog& m_window;
    CMediaPlayer& m_player;
    MprisService m_service;
};

} // namespace sv
