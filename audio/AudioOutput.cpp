#include "AudioOutput.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QIODevice>
#include <QMediaDevices>
#include <algorithm>
#include <cmath>
#include <vector>

namespace audio {

// Hands the sink whatever it asks for, rendered by the engine (silence while it is not
// playing), in the sink's sample format.
class EngineSource final : public QIODevice {
public:
    EngineSource(PlaybackEngine& engine, QAudioFormat format) : m_engine(engine), m_format(format) {
        open(QIODevice::ReadOnly);
    }

    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return (1 << 20) + QIODevice::bytesAvailable(); }

protected:
    qint64 readData(char* data, qint64 maxSize) override {
        const int frameBytes = m_format.bytesPerFrame();
        if (frameBytes <= 0) {
            return 0;
        }
        const auto frames = static_cast<std::size_t>(maxSize / frameBytes);
        if (frames == 0) {
            return 0;
        }
        if (m_format.sampleFormat() == QAudioFormat::Float) {
            m_engine.Pull(reinterpret_cast<float*>(data), frames);
        } else {
            m_scratch.resize(frames * kChannels);
            m_engine.Pull(m_scratch.data(), frames);
            auto* out = reinterpret_cast<qint16*>(data);
            for (std::size_t i = 0; i < m_scratch.size(); ++i) {
                const float s = std::clamp(m_scratch[i], -1.0f, 1.0f);
                out[i] = static_cast<qint16>(std::lround(s * 32767.0f));
            }
        }
        return static_cast<qint64>(frames) * frameBytes;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    PlaybackEngine& m_engine;
    QAudioFormat m_format;
    std::vector<float> m_scratch;
};

AudioOutput::AudioOutput(PlaybackEngine& engine, QObject* parent)
    : QObject(parent), m_engine(engine) {}

AudioOutput::~AudioOutput() {
    Stop();
}

bool AudioOutput::Start() {
    Stop();
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull()) {
        m_error = tr("No audio output device was found, so nothing can be heard.");
        emit statusChanged();
        return false;
    }
    QAudioFormat format;
    format.setSampleRate(m_engine.Rate());
    format.setChannelCount(kChannels);
    format.setSampleFormat(QAudioFormat::Float);
    if (!device.isFormatSupported(format)) {
        format.setSampleFormat(QAudioFormat::Int16);
    }
    if (!device.isFormatSupported(format)) {
        m_error = tr("The audio output device cannot play %1 Hz stereo.").arg(m_engine.Rate());
        emit statusChanged();
        return false;
    }

    m_source = std::make_unique<EngineSource>(m_engine, format);
    m_sink = std::make_unique<QAudioSink>(device, format);
    m_sink->setBufferSize(format.bytesForDuration(qint64{kBufferMs} * 1000));
    connect(m_sink.get(), &QAudioSink::stateChanged, this, &AudioOutput::OnSinkStateChanged);
    m_sink->start(m_source.get());
    if (m_sink->error() != QAudio::NoError) {
        Stop();
        m_error = tr("The audio output device could not be opened.");
        emit statusChanged();
        return false;
    }
    m_error.clear();
    emit statusChanged();
    return true;
}

void AudioOutput::Stop() {
    if (m_sink) {
        m_sink->disconnect(this);
        m_sink->stop();
    }
    m_sink.reset();
    m_source.reset();
}

bool AudioOutput::IsRunning() const {
    return m_sink != nullptr;
}

void AudioOutput::OnSinkStateChanged() {
    if (m_sink && m_sink->error() == QAudio::FatalError) {
        m_error = tr("The audio output device stopped working.");
        emit statusChanged();
    }
}

} // namespace audio
