#include "controls/CHotStatic.h"

namespace sv {

CHotStatic::CHotStatic(QWidget* parent) : StaticCtrl(parent) {}

void CHotStatic::SetHotCursor(std::optional<QCursor> cursor) {
    m_hCursor = std::move(cursor);
    if (m_hCursor)
        setCursor(*m_hCursor);
    else
        unsetCursor();
}

} // namespace sv
