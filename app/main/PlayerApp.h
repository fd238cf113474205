// The application object: prepares Qt for the one main window, runs that window modally, and ends
// the program when it closes. One per process.
#pragma once

namespace sv {

class PlayerApp {
public:
    PlayerApp();

    // Runs the main window until it closes. Always false: there is nothing to run after it.
    bool InitInstance();
};

} // namespace sv
