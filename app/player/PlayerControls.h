// The transport bar: play/pause, stop, a seek slider between the elapsed and the total time, and
// a volume slider. It knows nothing of any player: it sends what the user asks for as signals
// and shows the state it is given through its setters.
#pragma once

#include <QWidget>

class QLabel;
class QSlider;
class QToolButton;

namespace sv {

class PlayerControls final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PlayerControls)

public:
    enum class State { Stopped, Playing, Paused };

    explicit PlayerControls(QWidget* parent = nullptr);

    State state() const { return m_state; }
    int volume() const; // percent

    void setState(State state);
    // Milliseconds. A duration of 0 means there is nothing to play: the controls are disabled.
    void setDuration(qint64 duration);
    void setPosition(qint64 position);
    void setVolume(int percent);

signals:
    void play();
    void pause();
    void stop();
    void seek(qint64 position);
    void changeVolume(int percent);

private:
    void OnPlayClicked();
    void OnSeekAction(int action);
    void UpdateTimes(qint64 position);

    State m_state = State::Stopped;
    qint64 m_duration = 0;
    QToolButton* m_playButton = nullptr;
    QToolButton* m_stopButton = nullptr;
    QLabel* m_elapsed = nullptr;
    QSlider* m_seek = nullptr;
    QLabel* m_total = nullptr;
    QLabel* m_volumeIcon = nullptr;
    QSlider* m_volume = nullptr;
};

} // namespace sv
