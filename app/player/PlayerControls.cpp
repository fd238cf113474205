#include "PlayerControls.h"

#include <QHBoxLayout>
#include <QLabel>
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

QString FormatTime(qint64 ms) {
    const qint64 seconds = ms / 1000;
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

PlayerControls::PlayerControls(QWidget* parent) : QWidget(parent) {
    m_playButton = new QToolButton(this);
    m_stopButton = new QToolButton(this);
    m_stopButton->setIcon(style()->standardIcon(QStyle::SP_MediaStop));
    m_stopButton->setToolTip(tr("Stop"));
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
    layout->addWidget(m_playButton);
    layout->addWidget(m_stopButton);
    layout->addWidget(m_elapsed);
    layout->addWidget(m_seek, 1);
    layout->addWidget(m_total);
    layout->addSpacing(6);
    layout->addWidget(m_volumeIcon);
    layout->addWidget(m_volume);

    // Buttons
    connect(m_playButton, &QToolButton::clicked, this, &PlayerControls::OnPlayClicked);
    connect(m_stopButton, &QToolButton::clicked, this, &PlayerControls::stop);
    // Seeking: a drag seeks when released, a click or a key at once.
    connect(m_seek, &QSlider::sliderMoved, this, &PlayerControls::UpdateTimes);
    connect(m_seek, &QSlider::sliderReleased, this, [this] { emit seek(m_seek->value()); });
    connect(m_seek, &QSlider::actionTriggered, this, &PlayerControls::OnSeekAction);
    // Volume
    connect(m_volume, &QSlider::valueChanged, this, &PlayerControls::changeVolume);

    setState(State::Stopped);
    setDuration(0);
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

} // namespace sv
