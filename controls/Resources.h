// The pictures compiled into the controls library (res/sonvault.qrc), for every window to use.
// All are SVG, so they stay crisp at any scale:
//   ":/icons/sonvault.svg"              the application icon (PNG at 16, 32, 64 and 128 beside it)
//   ":/pictures/bulb.svg"               folder picture while no game folder is open
//   ":/pictures/folder-music.svg"       folder picture once a game folder is open
//   ":/pictures/floppy.svg"             the export picture
//   ":/pictures/question.svg"           the About picture
//   ":/tree/folder-closed.svg", ":/tree/folder-open.svg", ":/tree/wave.svg", ":/tree/note.svg"
//                                       the tree's 16 x 16 images: root folders, effects, songs
//   ":/player/once.svg", ":/player/repeat-one.svg", ":/player/play-through.svg",
//   ":/player/repeat-all.svg"           the player's four play modes
#pragma once

#include <QIcon>

namespace sv {

// Registers the compiled resources; safe to call any number of times. The helpers below and
// AboutDialog call it themselves.
void EnsureResources();

// The application icon at every size it is drawn.
QIcon AppIcon();

} // namespace sv
