#include "app/main/RemoteControl.h"

#include "app/main/MainDialog.h"
#include "app/player/CMediaPlayer.h"
#include "archive/GameData.h"

#include <QDir>
#include <QEvent>
#include <QGuiApplication>
#include <QTimer>
#include <QTreeWidgetItem>

namespace sv {
namespace {

constexpr int kUnpaintedRegisterMs = 100;
constexpr int kLongestWaitMs = 2000;

QString LoopStatus(PlayMode mode) {
    switch (mode) {
    case PlayMode::RepeatOne:
        return QStringLiteral("Track");
    case PlayMode::RepeatAll:
        return QStringLiteral("Playlist");
    case PlayMode::Once:
    case PlayMode::PlayThrough:
        break;
    }
    return QStringLiteral("None");
}

// "None" keeps playing through when the player does, as both stop at the end.
PlayMode ModeFor(const QString& loopStatus, PlayMode now) {
    if (loopStatus == QLatin1String("Track")) {
        return PlayMode::RepeatOne;
    }
    if (loopStatus == QLatin1String("Playlist")) {
        return PlayMode::RepeatAll;
    }
    return now == PlayMode::PlayThrough ? PlayMode::PlayThrough : PlayMode::Once;
}

QString PlaybackStatus(PlayState state) {
    switch (state) {
    case PlayState::Playing:
        return QStringLiteral("Playing");
    case PlayState::Paused:
        return QStringLiteral("Paused");
    case PlayState::Stopped:
        break;
    }
    return QStringLiteral("Stopped");
}

MprisTrack TrackOf(const TreeItemRecord& record, const QString& folder, qint64 lengthMs) {
    const char* kind = record.kind == TreeItemKind::Song ? "song" : "effect";
    // The folder's own name, also when its path ends with a separator.
    const QString album = QDir(QDir::fromNativeSeparators(folder)).dirName();
    return {
        QStringLiteral("/org/example/sonvault/%1/%2").arg(QLatin1String(kind)).arg(record.index),
        record.text, album, lengthMs * 1000};
}

} // namespace

RemoteControl::RemoteControl(MainDialog& window, CMediaPlayer& player)
    : m_window(window), m_player(player) {
    m_service.SetPositionSource([this] { return m_player.Position() * 1000; });
    Connect();
    Update();
    m_window.installEventFilter(this);
    // Not shown (or shown minimised, which paints nothing): no paint to wait for.
    QTimer::singleShot(kUnpaintedRegisterMs, this, [this] {
        if (!m_window.isVisible()) {
            Register();
        }
    });
    QTimer::singleShot(kLongestWaitMs, this, &RemoteControl::Register);
}

bool RemoteControl::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &m_window && event->type() == QEvent::Paint) {
        m_window.removeEventFilter(this);
        QTimer::singleShot(0, this, &RemoteControl::Register);
    }
    return false;
}

void RemoteControl::Register() {
    if (!m_registerTried) {
        m_registerTried = true;
        if (m_service.Register(QGuiApplication::desktopFileName())) {
            Update();
        }
    }
}

void RemoteControl::Connect() {
    // What the window and the player show
    QObject::connect(&m_window, &MainDialog::playingChanged, &m_service, [this] { Update(); });
    QObject::connect(&m_player, &CMediaPlayer::stateChanged, &m_service, [this] { Update(); });
    QObject::connect(&m_player, &CMediaPlayer::modeChanged, &m_service, [this] { Update(); });
    QObject::connect(&m_player, &CMediaPlayer::volumeChanged, &m_service, [this] { Update(); });
    QObject::connect(&m_player, &CMediaPlayer::seeked, &m_service,
                     [this](qint64 position) { m_service.NotifySeeked(position * 1000); });
    // What clients ask
    CMediaPlayer* player = &m_player;
    QObject::connect(&m_service, &MprisService::playPause, player, &CMediaPlayer::PlayPause);
    QObject::connect(&m_service, &MprisService::play, player, &CMediaPlayer::Play);
    QObject::connect(&m_service, &MprisService::pause, player, &CMediaPlayer::Pause);
    QObject::connect(&m_service, &MprisService::stop, player, &CMediaPlayer::Stop);
    QObject::connect(&m_service, &MprisService::next, &m_window, [this] { m_window.Skip(1); });
    QObject::connect(&m_service, &MprisService::previous, &m_window, [this] { m_window.Skip(-1); });
    QObject::connect(&m_service, &MprisService::seek, &m_window,
                     [this](qint64 offset) { SeekBy(offset); });
    QObject::connect(&m_service, &MprisService::setPosition, player,
                     [player](qint64 position) { player->SeekTo(position / 1000); });
    QObject::connect(
        &m_service, &MprisService::changeLoopStatus, player,
        [player](const QString& status) { player->SetMode(ModeFor(status, player->Mode())); });
    QObject::connect(&m_service, &MprisService::changeVolume, player,
                     [player](double volume) { player->SetVolume(qRound(volume * 100)); });
    QObject::connect(&m_service, &MprisService::raise, &m_window, [this] {
        m_window.showNormal();
        m_window.raise();
        m_window.activateWindow();
    });
    // After the call's reply has gone out.
    QObject::connect(&m_service, &MprisService::quit, &m_window, &QWidget::close,
                     Qt::QueuedConnection);
}

void RemoteControl::Update() {
    MprisState state;
    state.playbackStatus = PlaybackStatus(m_player.State());
    state.loopStatus = LoopStatus(m_player.Mode());
    state.volume = m_player.Volume() / 100.0;
    state.canGoNext = m_window.Neighbour(1) != nullptr;
    state.canGoPrevious = m_window.Neighbour(-1) != nullptr;
    const TreeItemRecord* playing = m_window.PlayingItem();
    if (playing != nullptr && m_player.Duration() > 0) {
        state.track = TrackOf(*playing, QString::fromStdString(m_window.Data().Folder()),
                              m_player.Duration());
    }
    m_service.SetState(state);
}

// Past the end is the next entry, as the protocol asks; before the start is the start.
void RemoteControl::SeekBy(qint64 offset) {
    const qint64 target = m_player.Position() + offset / 1000;
    if (target > m_player.Duration()) {
        if (m_window.Neighbour(1) != nullptr) {
            m_window.Skip(1);
        } else {
            m_player.Stop();
        }
        return;
    }
    m_player.SeekTo(std::max<qint64>(target, 0));
}

} // namespace sv
