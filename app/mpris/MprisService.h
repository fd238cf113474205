// The desktop's remote control for the player: the MPRIS 2 interfaces (org.mpris.MediaPlayer2
// and org.mpris.MediaPlayer2.Player) at /org/mpris/MediaPlayer2 under the bus name
// org.mpris.MediaPlayer2.sonvault on the session bus, which panels, media keys and
// `playerctl` use. It knows nothing of the window or the player: the owner gives it the state
// through setters and receives the requests as signals, as the transport bar does.
//
// Facts of the protocol that matter here: times are microseconds (signed 64-bit); a track id is
// an object path; every property change is announced with org.freedesktop.DBus.Properties'
// PropertiesChanged, except the position, which clients poll, and whose jumps are the Seeked
// signal. Changes made within one pass of the event loop are announced once, and a property that
// ends the pass as it began is not announced at all (a new entry passes through "Stopped").
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <QVariantMap>
#include <functional>

namespace sv {

struct MprisTrack {
    QString id;        // an object path below /org/example/sonvault; empty: no track
    QString title;     // xesam:title
    QString album;     // xesam:album
    qint64 length = 0; // microseconds
};

struct MprisState {
    QString playbackStatus = QStringLiteral("Stopped"); // "Playing", "Paused", "Stopped"
    QString loopStatus = QStringLiteral("None");        // "None", "Track", "Playlist"
    double volume = 1.0;
    bool canGoNext = false;
    bool canGoPrevious = false;
    MprisTrack track;
};

class MprisService final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MprisService)

public:
    explicit MprisService(QObject* parent = nullptr);
    ~MprisService() override;

    // Takes the bus name (or, when another Sonvault holds it, the name with ".instance" and the
    // process id, as the protocol asks) and serves the object. False, having done nothing, when
    // there is no session bus.
    bool Register(const QString& desktopEntry);
    bool IsRegistered() const { return !m_busName.isEmpty(); }
    QString BusName() const { return m_busName; }

    const MprisState& State() const { return m_state; }
    QString DesktopEntry() const { return m_desktopEntry; }
    void SetState(const MprisState& state);
    // Where the position (microseconds) comes from when a client asks.
    void SetPositionSource(std::function<qint64()> source) { m_position = std::move(source); }
    qint64 Position() const { return m_position ? m_position() : 0; }
    // Announces a jump of the position.
    void NotifySeeked(qint64 position);

    QVariantMap Metadata() const;

signals:
    void raise();
    void quit();
    void playPause();
    void play();
    void pause();
    void stop();
    void next();
    void previous();
    void seek(qint64 offset);          // microseconds, from the position now
    void setPosition(qint64 position); // microseconds, for the track playing
    void changeLoopStatus(const QString& status);
    void changeVolume(double volume);
    // For the Player adaptor, which relays it on the bus.
    void seeked(qint64 position);

private:
    void Announce();

    MprisState m_state;
    MprisState m_announced; // what clients were last told
    QString m_desktopEntry;
    QString m_busName;
    std::function<qint64()> m_position;
    QTimer m_announce;
};

} // namespace sv
