// The sound card end of the engine: a Qt Multimedia QAudioSink on the system's default output,
// fed in push mode. A 10 ms timer tops the sink's buffer up with frames from the engine (silence
// while it is not playing), and Feed() may be called at once after Play() so that the first
// block goes out without waiting for the timer. The buffer is kept to kBufferMs, so what the
// engine renders is heard that much later at most.
//
// Push rather than pull: Qt 6.4's PulseAudio sink stops pulling for good when the buffer is set
// between about 40 and 50 ms (its 20 ms period never reaches the stream's pre-buffering level).
//
// Without an output device nothing is opened and ErrorText() says so; the engine renders all
// the same. When the system's outputs change (a headset plugged in or out), a running output
// moves to the new default device, and a failed one tries again.
#pragma once

#include "audio/PlaybackEngine.h"

#include <QAudioFormat>
#include <QMediaDevices>
#include <QObject>
#include <QString>
#include <QTimer>
#include <memory>
#include <vector>

class QAudioSink;
class QIODevice;

namespace sv {

class AudioOutput final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AudioOutput)

public:
    static constexpr int kBufferMs = 50;
    static constexpr int kFeedMs = 10;

    explicit AudioOutput(PlaybackEngine& engine, QObject* parent = nullptr);
    ~AudioOutput() override;

    // Opens the default output device and starts feeding it. False, with ErrorText() set, when
    // there is no device or it cannot be opened; a later call tries again.
    bool Start();
    void Stop();
    bool IsRunning() const;
    QString ErrorText() const { return m_error; }

    // Hands the sink as many frames as its buffer has room for.
    void Feed();

signals:
    // The device was lost or came back; ErrorText() tells which.
    void statusChanged();

private:
    void Close();
    void Fail(const QString& error);
    void OnSinkStateChanged();

    PlaybackEngine& m_engine;
    std::unique_ptr<QAudioSink> m_sink;
    QIODevice* m_device = nullptr; // the sink's, valid while it runs
    QAudioFormat m_format;
    QTimer m_feed;
    QMediaDevices m_devices;
    bool m_wanted = false; // Start was called and Stop was not
    std::vector<float> m_frames;
    std::vector<qint16> m_int16;
    QString m_error;
};

} // namespace sv
