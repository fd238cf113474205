// A static picture that shows a cursor of its own while the mouse is over it (the main window's
// clickable pictures use the hand cursor). Without one it is a plain static control.
#pragma once

#include "controls/StaticCtrl.h"

#include <QCursor>
#include <optional>

namespace sv {

class CHotStatic : public StaticCtrl {
    Q_OBJECT

public:
    explicit CHotStatic(QWidget* parent = nullptr);

    // The cursor over the control; none gives the ordinary cursor back.
    void SetHotCursor(std::optional<QCursor> cursor);
    const std::optional<QCursor>& hotCursor() const { return m_hCursor; }

private:
    std::optional<QCursor> m_hCursor;
};

} // namespace sv
