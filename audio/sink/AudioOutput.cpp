#include "AudioOutput.h"

#include <QAudioDevice>
#include <QAudioSink>
#include <QIODevice>
#include <QMediaDevices>
#include <algorithm>
#include <cmath>

namespace sv {

AudioOutput::AudioOutput(PlaybackEngine& engine, QObject* parent)
    : QObject(parent), m_engine(engine) {
    m_feed.setTimerType(Qt::PreciseTimer);
    connect(&m_feed, &QTimer::timeout, this, &AudioOutput::Feed);
    connect(&m_devices, &QMediaDevices::audioOutputsChanged, this, [this] {
        if (m_wanted) {
            Start();
        }
    });
}

AudioOutput::~AudioOutput() {
    Stop();
}

bool AudioOutput::Start() {
    Close();
    m_wanted = true;
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull()) {
        Fail(tr("No audio output device was found, so nothing can be heard."));
        return false;
    }
    m_format.setSampleRate(m_engine.Rate());
    m_format.setChannelCount(kChannels);
    m_format.setSampleFormat(QAudioFormat::Float);
    if (!device.isFormatSupported(m_format)) {
        m_format.setSampleFormat(QAudioFormat::Int16);
    }
    if (!device.isFormatSupported(m_format)) {
        Fail(tr("The audio output device cannot play %1 Hz stereo.").arg(m_engine.Rate()));
        return false;
    }

    m_sink = std::make_unique<QAudioSink>(device, m_format);
    m_sink->setBufferSize(m_format.bytesForDuration(qint64{kBufferMs} * 1000));
    connect(m_sink.get(), &QAudioSink::stateChanged, this, &AudioOutput::OnSinkStateChanged);
    m_device = m_sink->start();
    if (m_device == nullptr || m_sink->error() != QAudio::NoError) {
        Close();
        Fail(tr("The audio output device could not be opened."));
        return false;
    }
    m_error.clear();
    Feed();
    m_feed.start(kFeedMs);
    emit statusChanged();
    return true;
}

void AudioOutput::Stop() {
    m_wanted = false;
    Close();
}

void AudioOutput::Close() {
    m_feed.stop();
    if (m_sink) {
        m_sink->disconnect(this);
        m_sink->stop();
    }
    m_device = nullptr;
    m_sink.reset();
}

bool AudioOutput::IsRunning() const {
    return m_sink != nullptr;
}

void AudioOutput::Feed() {
    if (!m_sink || m_device == nullptr) {
        return;
    }
    const int frameBytes = m_format.bytesPerFrame();
    const qint64 room = frameBytes > 0 ? m_sink->bytesFree() / frameBytes : 0;
    if (room <= 0) {
        return;
    }
    const auto frames = static_cast<std::size_t>(room);
    m_frames.resize(frames * kChannels);
    m_engine.Pull(m_frames.data(), frames);
    if (m_format.sampleFormat() == QAudioFormat::Float) {
        m_device->write(reinterpret_cast<const char*>(m_frames.data()), room * frameBytes);
        return;
    }
    m_int16.resize(m_frames.size());
    std::transform(m_frames.begin(), m_frames.end(), m_int16.begin(), [](float s) {
        return static_cast<qint16>(std::lround(std::clamp(s, -1.0f, 1.0f) * 32767.0f));
    });
    m_device->write(reinterpret_cast<const char*>(m_int16.data()), room * frameBytes);
}

void AudioOutput::Fail(const QString& error) {
    m_error = error;
    emit statusChanged();
}

void AudioOutput::OnSinkStateChanged() {
    if (m_sink && m_sink->error() == QAudio::FatalError) {
        Close(); // and wait for the outputs to change
        Fail(tr("The audio output device stopped working."));
    }
}

} // namespace sv
