// The progress bar that long operations (rebuilding the sound archive, a bulk export) drive.
// The core sees only this interface; the main window, the command-line tool and the tests each
// give their own.
#pragma once

#include <cstdint>

namespace sv {

class ProgressControl {
public:
    virtual ~ProgressControl() = default;
    virtual void Show() = 0;
    // The range is 0 to high; high is a record count or a decompressed size.
    virtual void SetRange(int32_t low, int32_t high) = 0;
    virtual void SetPos(int32_t pos) = 0;
    virtual void Hide() = 0;
};

} // namespace sv
