// The application object: prepares Qt for the one main window, runs that window modally, and ends
// the program when it closes. One per process.
#pragma once

#include <QString>

namespace sv {

class PlayerApp {
public:
    PlayerApp();

    // Runs the main window until it closes, opening `folder` at start-up when one is given.
    // Always false: there is nothing to run after it.
    bool InitInstance(const QString& folder = QString());
};

} // namespace sv
