#include "app/main/ProgressBarControl.h"

#include <QProgressBar>

namespace sv {

// repaint(), never processEvents(): painting dispatches no queued input, so a click made during
// the operation waits in the queue and is handled after it, as on a busy window.
void ProgressBarControl::Show() {
    m_bar->show();
    m_bar->repaint();
}

void ProgressBarControl::SetRange(std::int32_t low, std::int32_t high) {
    m_bar->setRange(low, high);
}

void ProgressBarControl::SetPos(std::int32_t pos) {
    m_bar->setValue(pos);
    m_bar->repaint();
}

void ProgressBarControl::Hide() {
    m_bar->hide();
}

} // namespace sv
