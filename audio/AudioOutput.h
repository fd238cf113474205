// The sound card end of the engine: a Qt Multimedia QAudioSink in pull mode on the system's
// default output, asking the engine for frames through a small QIODevice. The sink's buffer is
// kept to kBufferMs, so that what the engine renders is heard that much later at most. Without
// an output device nothing is opened and ErrorText() says so; the engine renders all the same.
#pragma once

#include "PlaybackEngine.h"

#include <QObject>
#include <QString>
#include <memory>

class QAudioSink;

namespace audio {

class EngineSource;

class AudioOutput final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AudioOutput)

public:
    static constexpr int kBufferMs = 50;

    explicit AudioOutput(PlaybackEngine& engine, QObject* parent = nullptr);
    ~AudioOutput() override;

    // Opens the default output device and starts pulling. False, with ErrorText() set, when
    // there is no device or it cannot be opened; a later call tries again.
    bool Start();
    void Stop();
    bool IsRunning() const;
    QString ErrorText() const { return m_error; }

signals:
    // The device was lost or came back; ErrorText() tells which.
    void statusChanged();

private:
    void OnSinkStateChanged();

    PlaybackEngine& m_engine;
    std::unique_ptr<EngineSource> m_source;
    std::unique_ptr<QAudioSink> m_sink;
    QString m_error;
};

} // namespace audio
