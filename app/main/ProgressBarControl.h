// The main window's progress bar as the core's progress control. The rebuild and the bulk export
// run on the one user-interface thread without returning to the event loop, so each step paints
// the bar at once: the bar moves, and no click or key is handled until the operation is over.
#pragma once

#include "io/ProgressControl.h"

class QProgressBar;

namespace sv {

class ProgressBarControl final : public ProgressControl {
public:
    explicit ProgressBarControl(QProgressBar* bar) : m_bar(bar) {}

    void Show() override;
    void SetRange(std::int32_t low, std::int32_t high) override;
    void SetPos(std::int32_t pos) override;
    void Hide() override;

private:
    QProgressBar* m_bar;
};

} // namespace sv
