#include "MprisService.h"

#include "MprisAdaptors.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QStringList>

namespace sv {
namespace {

const char* const kObjectPath = "/org/mpris/MediaPlayer2";
const char* const kPlayerInterface = "org.mpris.MediaPlayer2.Player";
const char* const kBusName = "org.mpris.MediaPlayer2.sonvault";
const char* const kNoTrack = "/org/mpris/MediaPlayer2/TrackList/NoTrack";

} // namespace

MprisService::MprisService(QObject* parent) : QObject(parent) {
    new RootAdaptor(this);
    new PlayerAdaptor(this);
    m_announce.setSingleShot(true);
    m_announce.setInterval(0);
    connect(&m_announce, &QTimer::timeout, this, &MprisService::Announce);
}

MprisService::~MprisService() {
    if (IsRegistered()) {
        QDBusConnection bus = QDBusConnection::sessionBus();
        bus.unregisterService(m_busName);
        bus.unregisterObject(QString::fromLatin1(kObjectPath));
    }
}

bool MprisService::Register(const QString& desktopEntry) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.registerObject(QString::fromLatin1(kObjectPath), this)) {
        return false;
    }
    m_desktopEntry = desktopEntry;
    QString name = QString::fromLatin1(kBusName);
    if (!bus.registerService(name)) {
        name += QStringLiteral(".instance%1").arg(QCoreApplication::applicationPid());
        if (!bus.registerService(name)) {
            bus.unregisterObject(QString::fromLatin1(kObjectPath));
            return false;
        }
    }
    m_busName = name;
    m_announced = m_state;
    return true;
}

void MprisService::SetState(const MprisState& state) {
    m_state = state;
    if (IsRegistered()) {
        m_announce.start();
    }
}

void MprisService::NotifySeeked(qint64 position) {
    if (IsRegistered()) {
        emit seeked(position);
    }
}

QVariantMap MprisService::Metadata() const {
    const MprisTrack& track = m_state.track;
    if (track.id.isEmpty()) {
        return {{QStringLiteral("mpris:trackid"),
                 QVariant::fromValue(QDBusObjectPath(QString::fromLatin1(kNoTrack)))}};
    }
    return {{QStringLiteral("mpris:trackid"), QVariant::fromValue(QDBusObjectPath(track.id))},
            {QStringLiteral("xesam:title"), track.title},
            {QStringLiteral("xesam:album"), track.album},
            {QStringLiteral("mpris:length"), QVariant::fromValue(qlonglong{track.length})}};
}

// One PropertiesChanged for what differs from what clients were last told.
void MprisService::Announce() {
    const MprisState& now = m_state;
    const MprisState& was = m_announced;
    QVariantMap changed;
    const auto note = [&changed](const char* name, bool differs, const QVariant& value) {
        if (differs) {
            changed.insert(QString::fromLatin1(name), value);
        }
    };
    note("PlaybackStatus", now.playbackStatus != was.playbackStatus, now.playbackStatus);
    note("LoopStatus", now.loopStatus != was.loopStatus, now.loopStatus);
    note("Volume", now.volume != was.volume, now.volume);
    note("CanGoNext", now.canGoNext != was.canGoNext, now.canGoNext);
    note("CanGoPrevious", now.canGoPrevious != was.canGoPrevious, now.canGoPrevious);
    const bool newTrack = now.track.id != was.track.id || now.track.title != was.track.title ||
                          now.track.album != was.track.album ||
                          now.track.length != was.track.length;
    note("Metadata", newTrack, Metadata());
    const bool hadTrack = !was.track.id.isEmpty();
    const bool hasTrack = !now.track.id.isEmpty();
    note("CanPlay", hasTrack != hadTrack, hasTrack);
    note("CanPause", hasTrack != hadTrack, hasTrack);
    note("CanSeek", (now.track.length > 0) != (was.track.length > 0), now.track.length > 0);
    m_announced = m_state;
    if (changed.isEmpty()) {
        return;
    }
    QDBusMessage signal = QDBusMessage::createSignal(
        QString::fromLatin1(kObjectPath), QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("PropertiesChanged"));
    signal << QString::fromLatin1(kPlayerInterface) << changed << QStringList();
    QDBusConnection::sessionBus().send(signal);
}

} // namespace sv
