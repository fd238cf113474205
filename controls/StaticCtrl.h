// A static control: a label that can report a left-button press to its owner, as a static
// with the notify style does, and that carries the control identifier of its dialog template.
#pragma once

#include <QLabel>

namespace sv {

class StaticCtrl : public QLabel {
    Q_OBJECT
    Q_PROPERTY(bool notifyOnClick READ notifyOnClick WRITE setNotifyOnClick)
    Q_PROPERTY(int controlId READ controlId WRITE setControlId)

public:
    explicit StaticCtrl(QWidget* parent = nullptr);

    // The notify style: without it a click reports nothing. Off by default.
    bool notifyOnClick() const { return m_notifyOnClick; }
    void setNotifyOnClick(bool on) { m_notifyOnClick = on; }

    // The identifier of the control in its template; 0 when it has none.
    int controlId() const { return m_controlId; }
    void setControlId(int id) { m_controlId = id; }

signals:
    // The left button went down over the control while it has the notify style.
    void clicked();

protected:
    // The default handling of a press: report a left-button click when notifying. The press is
    // taken either way, so it never reaches the parent as a press of its own.
    void mousePressEvent(QMouseEvent* event) override;

private:
    bool m_notifyOnClick = false;
    int m_controlId = 0;
};

} // namespace sv
