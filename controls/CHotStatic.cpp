#include "controls/CHotStatic.h"

CHotStatic::CHotStatic(QWidget* parent) : services::StaticCtrl(parent) {}

void CHotStatic::SetHotCursor(std::optional<QCursor> cursor) {
    m_hCursor = std::move(cursor);
    if (m_hCursor)
        setCursor(*m_hCursor);
    else
        unsetCursor();
}
