// The two D-Bus interfaces of the MPRIS service, as Qt D-Bus adaptors: each property reads the
// service's state, each method and each property written emits the service's request signal.
// Only MprisService.cpp makes them.
#pragma once

#include "MprisService.h"

#include <QDBusAbstractAdaptor>
#include <QDBusObjectPath>
#include <QStringList>

namespace sv {

// org.mpris.MediaPlayer2: the application. Nothing of it changes while it runs.
class RootAdaptor final : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ yes)
    Q_PROPERTY(bool CanRaise READ yes)
    Q_PROPERTY(bool HasTrackList READ no)
    Q_PROPERTY(QString Identity READ identity)
    Q_PROPERTY(QString DesktopEntry READ desktopEntry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ none)
    Q_PROPERTY(QStringList SupportedMimeTypes READ none)

public:
    explicit RootAdaptor(MprisService* service)
        : QDBusAbstractAdaptor(service), m_service(service) {}

    bool yes() const { return true; }
    bool no() const { return false; }
    QString identity() const { return QStringLiteral("Sonvault"); }
    QString desktopEntry() const { return m_service->DesktopEntry(); }
    QStringList none() const { return {}; }

public slots: // NOLINT(readability-redundant-access-specifiers): moc reads the section
    void Raise() { emit m_service->raise(); }
    void Quit() { emit m_service->quit(); }

private:
    MprisService* m_service;
};

// org.mpris.MediaPlayer2.Player: the transport, the loop status, the volume and the entry.
class PlayerAdaptor final : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ playbackStatus)
    Q_PROPERTY(QString LoopStatus READ loopStatus WRITE setLoopStatus)
    Q_PROPERTY(double Rate READ rate WRITE setRate)
    Q_PROPERTY(double MinimumRate READ rate)
    Q_PROPERTY(double MaximumRate READ rate)
    Q_PROPERTY(bool Shuffle READ no WRITE setShuffle)
    Q_PROPERTY(QVariantMap Metadata READ metadata)
    Q_PROPERTY(double Volume READ volume WRITE setVolume)
    Q_PROPERTY(qlonglong Position READ position)
    Q_PROPERTY(bool CanGoNext READ canGoNext)
    Q_PROPERTY(bool CanGoPrevious READ canGoPrevious)
    Q_PROPERTY(bool CanPlay READ hasTrack)
    Q_PROPERTY(bool CanPause READ hasTrack)
    Q_PROPERTY(bool CanSeek READ canSeek)
    Q_PROPERTY(bool CanControl READ yes)

public:
    explicit PlayerAdaptor(MprisService* service)
        : QDBusAbstractAdaptor(service), m_service(service) {
        connect(service, &MprisService::seeked, this, &PlayerAdaptor::Seeked);
    }

    QString playbackStatus() const { return m_service->State().playbackStatus; }
    QString loopStatus() const { return m_service->State().loopStatus; }
    // Only the three values the protocol names; anything else is ignored.
    void setLoopStatus(const QString& status) {
        if (status == QLatin1String("None") || status == QLatin1String("Track") ||
            status == QLatin1String("Playlist")) {
            emit m_service->changeLoopStatus(status);
        }
    }
    double rate() const { return 1.0; }
    void setRate(double /*rate*/) {} // one speed only
    bool no() const { return false; }
    void setShuffle(bool /*on*/) {} // the folder's order only
    QVariantMap metadata() const { return m_service->Metadata(); }
    double volume() const { return m_service->State().volume; }
    void setVolume(double volume) { emit m_service->changeVolume(qBound(0.0, volume, 1.0)); }
    qlonglong position() const { return m_service->Position(); }
    bool canGoNext() const { return m_service->State().canGoNext; }
    bool canGoPrevious() const { return m_service->State().canGoPrevious; }
    bool hasTrack() const { return !m_service->State().track.id.isEmpty(); }
    bool canSeek() const { return m_service->State().track.length > 0; }
    bool yes() const { return true; }

public slots: // NOLINT(readability-redundant-access-specifiers): moc reads the section
    void Next() { emit m_service->next(); }
    void Previous() { emit m_service->previous(); }
    void Pause() { emit m_service->pause(); }
    void PlayPause() { emit m_service->playPause(); }
    void Stop() { emit m_service->stop(); }
    void Play() { emit m_service->play(); }
    void Seek(qlonglong offset) { emit m_service->seek(offset); }
    // A call for another track than the one playing is stale and ignored, as is a position
    // outside the track.
    void SetPosition(const QDBusObjectPath& trackId, qlonglong position) {
        const MprisTrack& track = m_service->State().track;
        if (!track.id.isEmpty() && trackId.path() == track.id && position >= 0 &&
            position <= track.length) {
            emit m_service->setPosition(position);
        }
    }
    void OpenUri(const QString& /*uri*/) {} // plays only the entries of the game folder

signals:
    void Seeked(qlonglong Position);

private:
    MprisService* m_service;
};

} // namespace sv
