#include "controls/StaticCtrl.h"

#include <QMouseEvent>

namespace sv {

StaticCtrl::StaticCtrl(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
}

void StaticCtrl::mousePressEvent(QMouseEvent* event) {
    event->accept();
    if (event->button() == Qt::LeftButton && m_notifyOnClick)
        emit clicked();
}

} // namespace sv
