// The transport bar: previous, play/pause, stop, next, the play mode, a seek slider between the
// elapsed and the total time, and a volume slider. It knows nothing of any player: it sends what
// the user asks for as signals and shows the state it is given through its setters.
#pragma once

#include <QWidget>

class QAction;
class QLabel;
class QSlider;
class QToolButton;

namespace sv {

// What happens when an entry ends: it stops; it starts again ("Repeat"); the next entry of its
// folder plays, up to the folder's last; or the same, going round from the last to the first.
enum class PlayMode { Once, RepeatOne, PlayThrough, RepeatAll };

// The mode's name, as its menu and its tooltip say it.
QString PlayModeName(PlayMode mode);

class PlayerControls final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PlayerControls)

public:
    enum class State { Stopped, Playing, Paused };

    explicit PlayerControls(QWidget* parent = nullptr);

    State state() const { return m_state; }
    int volume() const; // percent
    PlayMode mode() const { return m_mode; }

    void setState(State state);
    // Milliseconds. A duration of 0 means there is nothing to play: the controls are disabled.
    void setDuration(qint64 duration);
    void setPosition(qint64 position);
    void setVolume(int percent);
    void setMode(PlayMode mode);
    // Whether there is an entry before and after the one playing, for the two skip buttons.
    void setNavigation(bool previous, bool next);

signals:
    void play();
    void pause();
    void stop();
    void seek(qint64 position);
    void changeVolume(int percent);
    void changeMode(PlayMode mode);
    void previous();
    void next();

private:
    void OnPlayClicked();
    void OnSeekAction(int action);
    void UpdateTimes(qint64 position);
    void OnModeClicked();
    void ChooseMode(PlayMode mode);

    State m_state = State::Stopped;
    qint64 m_duration = 0;
    PlayMode m_mode = PlayMode::Once;
    QToolButton* m_playButton = nullptr;
    QToolButton* m_stopButton = nullptr;
    QToolButton* m_modeButton = nullptr;
    QAction* m_modeActions[4] = {};
    QToolButton* m_previousButton = nullptr;
    QToolButton* m_nextButton = nullptr;
    QLabel* m_elapsed = nullptr;
    QSlider* m_seek = nullptr;
    QLabel* m_total = nullptr;
    QLabel* m_volumeIcon = nullptr;
    QSlider* m_volume = nullptr;
};

} // namespace sv
