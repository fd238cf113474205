#include "CMediaPlayer.h"

#include <QAudio>
#include <QContextMenuEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMediaDevices>
#include <QMenu>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>
#include <cmath>

namespace sv {

namespace {

constexpr int kRefreshMs = 100;
constexpr int kDefaultVolume = 80;
const char* const kVolumeKey = "Volume";
const char* const kSoundFontKey = "SoundFont"; // empty: the system's General MIDI SoundFont

PlayerControls::State ToControls(PlayState state) {
    switch (state) {
    case PlayState::Playing:
        return PlayerControls::State::Playing;
    case PlayState::Paused:
        return PlayerControls::State::Paused;
    case PlayState::Stopped:
        break;
    }
    return PlayerControls::State::Stopped;
}

qint64 Milliseconds(double seconds) {
    return static_cast<qint64>(std::llround(seconds * 1000));
}

} // namespace

CMediaPlayer::CMediaPlayer(QWidget* parent)
    : QWidget(parent), m_output(m_engine), m_settings("Merrow Applications", "Sonvault Player") {
    m_status = new QLabel(this);
    m_status->setTextFormat(Qt::PlainText);
    m_status->setWordWrap(true); // two sentences (no SoundFont, no device) take two lines
    m_controls = new PlayerControls(this);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->setSpacing(2);
    layout->addWidget(m_status);
    layout->addWidget(m_controls);
    setContextMenuPolicy(Qt::DefaultContextMenu);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed); // the area below the tree

    // Transport bar
    connect(m_controls, &PlayerControls::play, this, &CMediaPlayer::OnPlay);
    connect(m_controls, &PlayerControls::pause, this, &CMediaPlayer::OnPause);
    connect(m_controls, &PlayerControls::stop, this, &CMediaPlayer::OnStop);
    connect(m_controls, &PlayerControls::seek, this, &CMediaPlayer::OnSeek);
    connect(m_controls, &PlayerControls::changeVolume, this, &CMediaPlayer::OnVolume);
    // Engine and output
    connect(&m_refresh, &QTimer::timeout, this, &CMediaPlayer::Refresh);
    connect(&m_output, &AudioOutput::statusChanged, this, &CMediaPlayer::UpdateStatus);
    connect(&m_loading, &QFutureWatcher<std::shared_ptr<Synthesizer>>::finished, this,
            &CMediaPlayer::OnSoundFontLoaded);

    const int volume = std::clamp(m_settings.value(kVolumeKey, kDefaultVolume).toInt(), 0, 100);
    m_controls->setVolume(volume);
    OnVolume(volume);
    m_refresh.start(kRefreshMs);
    m_output.Start();
    LoadSoundFont(m_settings.value(kSoundFontKey).toString());
    Refresh();
}

CMediaPlayer::~CMediaPlayer() {
    m_output.Stop();
    m_loading.waitForFinished(); // the worker holds nothing of ours, but must end before exit
}

QSize CMediaPlayer::sizeHint() const {
    return {495, 72};
}

void CMediaPlayer::SetFileName(const QString& name) {
    const LoadError error = m_engine.SetFileName(QDir::toNativeSeparators(name).toStdString());
    m_fileError = error == LoadError::None ? QString() : tr(Describe(error));
    Refresh();
}

void CMediaPlayer::ShowProblem(const QString& sentence) {
    m_fileError = sentence;
    Refresh();
}

void CMediaPlayer::Play() {
    OnPlay();
}

void CMediaPlayer::OnPlay() {
    if (m_engine.WaitingForSoundFont() && !m_loadingSoundFont) {
        return; // no SoundFont is coming: the sentence above the controls says so
    }
    if (!m_output.IsRunning()) {
        m_output.Start(); // a device may have appeared since
    }
    m_engine.Play();
    m_output.Feed(); // the first block goes out now, not at the next tick
    Refresh();
}

void CMediaPlayer::OnPause() {
    m_engine.Pause();
    Refresh();
}

void CMediaPlayer::OnStop() {
    m_engine.Stop();
    Refresh();
}

void CMediaPlayer::OnSeek(qint64 position) {
    m_engine.Seek(static_cast<double>(position) / 1000);
    Refresh();
}

void CMediaPlayer::OnVolume(int percent) {
    const double linear = QAudio::convertVolume(percent / 100.0, QAudio::LogarithmicVolumeScale,
                                                QAudio::LinearVolumeScale);
    m_engine.SetVolume(static_cast<float>(linear));
    m_settings.setValue(kVolumeKey, percent);
}

// The worker loads the whole SoundFont; the synthesizer reaches the engine on this thread.
void CMediaPlayer::LoadSoundFont(const QString& path) {
    if (m_loadingSoundFont) {
        m_pendingPath = path;
        m_pendingLoad = true;
        return;
    }
    m_loadingSoundFont = true;
    m_loadingPath = path;
    const std::string file = path.isEmpty() ? FindDefaultSoundFont() : path.toStdString();
    const int rate = m_engine.Rate();
    m_loading.setFuture(QtConcurrent::run([file, rate] { return Synthesizer::Load(file, rate); }));
    UpdateStatus();
}

void CMediaPlayer::OnSoundFontLoaded() {
    std::shared_ptr<Synthesizer> synth = m_loading.result();
    if (synth) {
        m_engine.SetSynthesizer(std::move(synth));
        m_soundFontError.clear();
    } else if (!m_loadingPath.isEmpty()) {
        m_soundFontError =
            tr("The SoundFont \"%1\" could not be loaded, so songs cannot be played.")
                .arg(QFileInfo(m_loadingPath).fileName());
    } else {
        m_soundFontError = tr("No General MIDI SoundFont was found, so songs cannot be played; "
                              "choose one from this player's menu.");
    }
    m_loadingSoundFont = false;
    if (m_pendingLoad) {
        m_pendingLoad = false;
        LoadSoundFont(m_pendingPath);
    }
    Refresh();
    emit soundFontLoaded();
}

void CMediaPlayer::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    menu.addAction(tr("Choose SoundFont..."), this, &CMediaPlayer::ChooseSoundFont);
    QAction* system =
        menu.addAction(tr("Use the System SoundFont"), this, &CMediaPlayer::UseSystemSoundFont);
    system->setEnabled(!m_settings.value(kSoundFontKey).toString().isEmpty());
    menu.exec(event->globalPos());
}

void CMediaPlayer::ChooseSoundFont() {
    const QString current = m_settings.value(kSoundFontKey).toString();
    const QString start =
        current.isEmpty() ? QString::fromStdString(FindDefaultSoundFont()) : current;
    const QString path =
        QFileDialog::getOpenFileName(this, tr("Choose SoundFont"), start, tr("SoundFonts (*.sf2)"));
    if (path.isEmpty()) {
        return;
    }
    m_settings.setValue(kSoundFontKey, path);
    LoadSoundFont(path);
}

void CMediaPlayer::UseSystemSoundFont() {
    m_settings.setValue(kSoundFontKey, QString());
    LoadSoundFont(QString());
}

void CMediaPlayer::Refresh() {
    m_controls->setDuration(Milliseconds(m_engine.Duration()));
    m_controls->setState(ToControls(m_engine.State()));
    m_controls->setPosition(Milliseconds(m_engine.Position()));
    UpdateStatus();
}

void CMediaPlayer::UpdateStatus() {
    QStringList sentences;
    if (!m_fileError.isEmpty()) {
        sentences << m_fileError;
    }
    const bool song = m_engine.Kind() == FileKind::Midi;
    if (!m_soundFontError.isEmpty() && (song || m_engine.Kind() == FileKind::None)) {
        sentences << m_soundFontError;
    }
    if (!m_output.ErrorText().isEmpty()) {
        sentences << m_output.ErrorText();
    }
    if (sentences.isEmpty()) {
        if (song && m_engine.WaitingForSoundFont() && m_loadingSoundFont) {
            sentences << tr("Loading the SoundFont...");
        } else if (m_engine.Kind() == FileKind::None) {
            sentences << tr("Select a song or a sound effect to play it.");
        } else {
            const QString what = song ? tr("song") : tr("sound effect");
            switch (m_engine.State()) {
            case PlayState::Playing:
                sentences << tr("Playing the %1.").arg(what);
                break;
            case PlayState::Paused:
                sentences << tr("The %1 is paused.").arg(what);
                break;
            case PlayState::Stopped:
                sentences << tr("The %1 is stopped.").arg(what);
                break;
            }
        }
    }
    const QString text = sentences.join(QLatin1Char(' '));
    if (m_status->text() != text) {
        m_status->setText(text);
        m_status->setToolTip(text); // the whole sentence when the area is too narrow for it
    }
}

QString CMediaPlayer::StatusText() const {
    return m_status->text();
}

} // namespace sv
