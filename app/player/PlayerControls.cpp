#include "PlayerControls.h"

#include "controls/Resources.h"

#include <QActionGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QProxyStyle>
#include <QSignalBlocker>
#include <QSlider>
#include <QStyle>
#include <QToolButton>

namespace sv {

namespace {

// A click on the seek slider's groove jumps there, as in every media player, rather than paging.
class JumpSliderStyle final : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_Slider_AbsoluteSetButtons) {
            return Qt::LeftButton;
        }
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

constexpr PlayMode kModes[] = {PlayMode::Once, PlayMode::RepeatOne, PlayMode::PlayThrough,
                               PlayMode::RepeatAll};
const char* const kModeIcons[] = {":/player/once.svg", ":/player/repeat-one.svg",
                                  ":/player/play-through.svg", ":/player/repeat-all.svg"};

QString FormatTime(qint64 ms) {
    const qint64 seconds = ms / 1000;
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

QString PlayModeName(PlayMode mode) {
    switch (mode) {
    case PlayMode::Once:
        return PlayerControls::tr("Play once");
    case PlayMode::RepeatOne:
        return PlayerControls::tr("Repeat the entry");
    case PlayMode::PlayThrough:
        return PlayerControls::tr("Play through the folder");
    case PlayMode::RepeatAll:
        return PlayerControls::tr("Play through and repeat the folder");
    }
    return {};
}

PlayerControls::PlayerControls(QWidget* parent) : QWidget(parent) {
    EnsureResources();
    m_playButton = new QToolButton(this);
    m_stopButton = new QToolButton(this);
    m_stopButton->setIcon(style()->standardIcon(QStyle::SP_MediaStop));
    m_stopButton->setToolTip(tr("Stop"));
    // One button for the mode: a click steps to the next, its arrow lists all four. It looks
    // pressed while the mode does anything but stop at the end.
    m_modeButton = new QToolButton(this);
    m_modeButton->setCheckable(true);
    m_modeButton->setPopupMode(QToolButton::MenuButtonPopup);
    auto* modeMenu = new QMenu(m_modeButton);
    auto* modeGroup = new QActionGroup(modeMenu);
    for (int i = 0; i < 4; ++i) {
        m_modeActions[i] =
            modeMenu->addAction(QIcon(QString::fromLatin1(kModeIcons[i])), PlayModeName(kModes[i]));
        m_modeActions[i]->setCheckable(true);
        modeGroup->addAction(m_modeActions[i]);
        connect(m_modeActions[i], &QAction::triggered, this, [this, i] { ChooseMode(kModes[i]); });
    }
    m_modeButton->setMenu(modeMenu);
    m_previousButton = new QToolButton(this);
    m_previousButton->setIcon(style()->standardIcon(QStyle::SP_MediaSkipBackward));
    m_previousButton->setToolTip(tr("Previous entry of the folder"));
    m_nextButton = new QToolButton(this);
    m_nextButton->setIcon(style()->standardIcon(QStyle::SP_MediaSkipForward));
    m_nextButton->setToolTip(tr("Next entry of the folder"));
    m_elapsed = new QLabel(this);
    m_seek = new QSlider(Qt::Horizontal, this);
    m_seek->setToolTip(tr("Position"));
    auto* jumpStyle = new JumpSliderStyle(m_seek->style()->name());
    jumpStyle->setParent(m_seek);
    m_seek->setStyle(jumpStyle);
    m_total = new QLabel(this);
    m_volumeIcon = new QLabel(this);
    m_volumeIcon->setPixmap(style()->standardIcon(QStyle::SP_MediaVolume).pixmap(16, 16));
    m_volume = new QSlider(Qt::Horizontal, this);
    m_volume->setRange(0, 100);
    m_volume->setFixedWidth(72);
    m_volume->setToolTip(tr("Volume"));

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    layout->addWidget(m_previousButton);
    layout->addWidget(m_playButton);
    layout->addWidget(m_stopButton);
    layout->addWidget(m_nextButton);
    layout->addWidget(m_modeButton);
    layout->addWidget(m_elapsed);
    layout->addWidget(m_seek, 1);
    layout->addWidget(m_total);
    layout->addSpacing(6);
    layout->addWidget(m_volumeIcon);
    layout->addWidget(m_volume);

    // Buttons
    connect(m_playButton, &QToolButton::clicked, this, &PlayerControls::OnPlayClicked);
    connect(m_stopButton, &QToolButton::clicked, this, &PlayerControls::stop);
    connect(m_previousButton, &QToolButton::clicked, this, &PlayerControls::previous);
    connect(m_nextButton, &QToolButton::clicked, this, &PlayerControls::next);
    connect(m_modeButton, &QToolButton::clicked, this, &PlayerControls::OnModeClicked);
    // Seeking: a drag seeks when released, a click or a key at once.
    connect(m_seek, &QSlider::sliderMoved, this, &PlayerControls::UpdateTimes);
    connect(m_seek, &QSlider::sliderReleased, this, [this] { emit seek(m_seek->value()); });
    connect(m_seek, &QSlider::actionTriggered, this, &PlayerControls::OnSeekAction);
    // Volume
    connect(m_volume, &QSlider::valueChanged, this, &PlayerControls::changeVolume);

    setState(State::Stopped);
    setDuration(0);
    setMode(PlayMode::Once);
    setNavigation(false, false);
}

int PlayerControls::volume() const {
    return m_volume->value();
}

void PlayerControls::setState(State state) {
    m_state = state;
    const bool playing = state == State::Playing;
    m_playButton->setIcon(
        style()->standardIcon(playing ? QStyle::SP_MediaPause : QStyle::SP_MediaPlay));
    m_playButton->setToolTip(playing ? tr("Pause") : tr("Play"));
    m_stopButton->setEnabled(state != State::Stopped && m_duration > 0);
}

void PlayerControls::setDuration(qint64 duration) {
    m_duration = duration;
    const QSignalBlocker block(m_seek);
    m_seek->setRange(0, static_cast<int>(duration));
    m_seek->setPageStep(static_cast<int>(std::max<qint64>(duration / 10, 1)));
    m_seek->setSingleStep(1000);
    const bool enabled = duration > 0;
    m_playButton->setEnabled(enabled);
    m_seek->setEnabled(enabled);
    m_stopButton->setEnabled(enabled && m_state != State::Stopped);
    m_total->setText(FormatTime(duration));
    UpdateTimes(m_seek->value());
}

void PlayerControls::setPosition(qint64 position) {
    if (m_seek->isSliderDown()) {
        return; // the user's drag wins until it is released
    }
    const QSignalBlocker block(m_seek);
    m_seek->setValue(static_cast<int>(position));
    UpdateTimes(position);
}

void PlayerControls::setVolume(int percent) {
    const QSignalBlocker block(m_volume);
    m_volume->setValue(percent);
}

void PlayerControls::OnPlayClicked() {
    if (m_state == State::Playing) {
        emit pause();
    } else {
        emit play();
    }
}

void PlayerControls::OnSeekAction(int action) {
    // The slider has moved already; its value follows after this signal.
    if (action != QAbstractSlider::SliderMove && action != QAbstractSlider::SliderNoAction) {
        UpdateTimes(m_seek->sliderPosition());
        emit seek(m_seek->sliderPosition());
    }
}

void PlayerControls::UpdateTimes(qint64 position) {
    m_elapsed->setText(FormatTime(position));
}

void PlayerControls::setMode(PlayMode mode) {
    m_mode = mode;
    const int i = static_cast<int>(mode);
    m_modeButton->setIcon(m_modeActions[i]->icon());
    m_modeButton->setText(PlayModeName(mode));
    m_modeButton->setToolTip(tr("%1 (click for the next mode)").arg(PlayModeName(mode)));
    m_modeButton->setChecked(mode != PlayMode::Once);
    m_modeActions[i]->setChecked(true);
}

void PlayerControls::setNavigation(bool previous, bool next) {
    m_previousButton->setEnabled(previous);
    m_nextButton->setEnabled(next);
}

// The click has toggled the button already; setMode puts its look right.
void PlayerControls::OnModeClicked() {
    ChooseMode(kModes[(static_cast<int>(m_mode) + 1) % 4]);
}

void PlayerControls::ChooseMode(PlayMode mode) {
    setMode(mode);
    emit changeMode(mode);
}

} // namespace sv
