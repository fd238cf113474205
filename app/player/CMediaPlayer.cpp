#include "CMediaPlayer.h"

#include "audio/SoundFileWriter.h"
#include "controls/Dialogs.h"
#include "io/File.h"

#include <QActionGroup>
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
#include <optional>

namespace sv {

namespace {

constexpr int kRefreshMs = 100;
constexpr int kDefaultVolume = 80;
const char* const kVolumeKey = "Volume";
const char* const kSoundFontKey = "SoundFont"; // empty: the system's General MIDI SoundFont
constexpr int kUnpaintedLoadMs = 100;
const char* const kModeKey = "PlayMode";
const char* const kOldRepeatKey = "Repeat"; // before the play mode, a switch for RepeatOne
const char* const kModeNames[] = {"once", "repeat-one", "play-through", "repeat-all"};
const char* const kVoiceKey = "Voice"; // "soundfont" or "fm", as the command line names them

SongVoice ReadVoice(const QSettings& settings) {
    return settings.value(kVoiceKey).toString() == QLatin1String(VoiceName(SongVoice::Fm))
               ? SongVoice::Fm
               : SongVoice::SoundFont;
}

PlayMode ReadMode(const QSettings& settings) {
    const QString name = settings.value(kModeKey).toString();
    for (int i = 0; i < 4; ++i) {
        if (name == QLatin1String(kModeNames[i])) {
            return static_cast<PlayMode>(i);
        }
    }
    return settings.value(kOldRepeatKey, false).toBool() ? PlayMode::RepeatOne : PlayMode::Once;
}

// The worker's progress as a percentage the window reads on its refresh timer.
class PercentProgress final : public ProgressControl {
public:
    explicit PercentProgress(std::shared_ptr<std::atomic<int>> percent)
        : m_percent(std::move(percent)) {}
    void Show() override {}
    void SetRange(std::int32_t low, std::int32_t high) override {
        m_low = low;
        m_high = high;
    }
    void SetPos(std::int32_t pos) override {
        const double span = static_cast<double>(m_high) - m_low;
        m_percent->store(
            span > 0 ? static_cast<int>(std::clamp((pos - m_low) / span, 0.0, 1.0) * 100) : 0);
    }
    void Hide() override {}

private:
    std::shared_ptr<std::atomic<int>> m_percent;
    std::int32_t m_low = 0;
    std::int32_t m_high = 0;
};

// Renders `file` into `path`; the sentence that says why not, or an empty one.
QString RenderAudioFile(const std::vector<std::uint8_t>& file, SongVoice voice,
                        const std::string& soundFont, int rate, const std::string& path,
                        std::shared_ptr<std::atomic<int>> percent) {
    std::shared_ptr<Synthesizer> synth;
    const bool song = DetectKind(file) == FileKind::Midi;
    if (song && voice == SongVoice::SoundFont) {
        synth = Synthesizer::Load(soundFont, rate);
        if (!synth) {
            return CMediaPlayer::tr(
                "The SoundFont could not be loaded, so the song was not saved.");
        }
    }
    LoadError error = LoadError::None;
    auto renderer = MakeRenderer(file, voice, std::move(synth), rate, error);
    if (!renderer) {
        return CMediaPlayer::tr(Describe(error));
    }
    PercentProgress progress(std::move(percent));
    const Status written =
        RenderToFile(*renderer, rate, {}, path, SoundFileTypeFor(path), &progress);
    return written ? QString()
                   : CMediaPlayer::tr("Cannot write \"%1\".").arg(QString::fromStdString(path));
}

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
    connect(m_controls, &PlayerControls::changeMode, this, &CMediaPlayer::OnMode);
    connect(m_controls, &PlayerControls::previous, this, &CMediaPlayer::previous);
    connect(m_controls, &PlayerControls::next, this, &CMediaPlayer::next);
    // Engine and output
    connect(&m_refresh, &QTimer::timeout, this, &CMediaPlayer::Refresh);
    connect(&m_output, &AudioOutput::statusChanged, this, &CMediaPlayer::UpdateStatus);
    connect(&m_loading, &QFutureWatcher<std::shared_ptr<Synthesizer>>::finished, this,
            &CMediaPlayer::OnSoundFontLoaded);
    connect(&m_saving, &QFutureWatcher<QString>::finished, this, &CMediaPlayer::OnAudioSaved);

    const int volume = std::clamp(m_settings.value(kVolumeKey, kDefaultVolume).toInt(), 0, 100);
    m_controls->setVolume(volume);
    OnVolume(volume);
    const PlayMode mode = ReadMode(m_settings);
    m_controls->setMode(mode);
    m_engine.SetRepeat(mode == PlayMode::RepeatOne);
    m_engine.SetVoice(ReadVoice(m_settings));
    m_refresh.start(kRefreshMs);
    m_output.Start();
    // Read after the first paint, which the worker would slow down on a small machine; a player
    // that is not shown starts soon anyway. Until then the load counts as under way, so a song
    // chosen meanwhile waits for it.
    m_loadingSoundFont = true;
    m_loadAfterPaint = true;
    QTimer::singleShot(kUnpaintedLoadMs, this, &CMediaPlayer::StartDeferredLoad);
    Refresh();
}

bool CMediaPlayer::event(QEvent* event) {
    if (event->type() == QEvent::Paint && m_loadAfterPaint) {
        QTimer::singleShot(0, this, &CMediaPlayer::StartDeferredLoad);
    }
    return QWidget::event(event);
}

void CMediaPlayer::StartDeferredLoad() {
    if (m_loadAfterPaint) {
        m_loadAfterPaint = false;
        StartLoading(m_settings.value(kSoundFontKey).toString());
    }
}

CMediaPlayer::~CMediaPlayer() {
    m_output.Stop();
    m_loading.waitForFinished(); // the worker holds nothing of ours, but must end before exit
    m_saving.waitForFinished();
}

QSize CMediaPlayer::sizeHint() const {
    return {495, 72};
}

void CMediaPlayer::SetFileName(const QString& name) {
    const LoadError error = m_engine.SetFileName(QDir::toNativeSeparators(name).toStdString());
    m_fileError = error == LoadError::None ? QString() : tr(Describe(error));
    m_file.clear();
    m_fileName = name;
    if (error == LoadError::None && !name.isEmpty()) {
        (void)ReadWholeFile(QDir::toNativeSeparators(name).toStdString(), m_file);
    }
    m_savedName.clear();
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
    emit seeked(Position());
}

void CMediaPlayer::OnVolume(int percent) {
    const double linear = QAudio::convertVolume(percent / 100.0, QAudio::LogarithmicVolumeScale,
                                                QAudio::LinearVolumeScale);
    m_engine.SetVolume(static_cast<float>(linear));
    m_settings.setValue(kVolumeKey, percent);
    emit volumeChanged(percent);
}

void CMediaPlayer::OnMode(PlayMode mode) {
    m_engine.SetRepeat(mode == PlayMode::RepeatOne);
    m_settings.setValue(kModeKey, QLatin1String(kModeNames[static_cast<int>(mode)]));
    m_settings.remove(kOldRepeatKey);
    emit modeChanged(mode);
}

void CMediaPlayer::Pause() {
    OnPause();
}

void CMediaPlayer::Stop() {
    OnStop();
}

void CMediaPlayer::PlayPause() {
    if (m_engine.State() == PlayState::Playing) {
        OnPause();
    } else {
        OnPlay();
    }
}

void CMediaPlayer::SeekTo(qint64 position) {
    OnSeek(std::clamp<qint64>(position, 0, Duration()));
}

void CMediaPlayer::SetMode(PlayMode mode) {
    if (mode != Mode()) {
        m_controls->setMode(mode);
        OnMode(mode);
    }
}

void CMediaPlayer::SetVolume(int percent) {
    percent = std::clamp(percent, 0, 100);
    if (percent != Volume()) {
        m_controls->setVolume(percent);
        OnVolume(percent);
    }
}

qint64 CMediaPlayer::Position() const {
    return Milliseconds(m_engine.Position());
}

qint64 CMediaPlayer::Duration() const {
    return Milliseconds(m_engine.Duration());
}

void CMediaPlayer::SetNavigation(bool previous, bool next) {
    m_controls->setNavigation(previous, next);
}

void CMediaPlayer::SaveAsAudio() {
    if (m_file.empty() || m_saving.isRunning()) {
        return;
    }
    const QString proposed = QFileInfo(m_fileName).completeBaseName() + QStringLiteral(".flac");
    const std::optional<QString> path =
        sv::Dialogs().saveFile(this, proposed, QStringLiteral(".flac"),
                               tr("FLAC (*.flac);;Ogg Vorbis (*.ogg);;WAV (*.wav)"));
    if (!path) {
        return;
    }
    const std::string target = QDir::toNativeSeparators(*path).toStdString();
    if (SoundFileTypeFor(target) == SoundFileType::Unknown) {
        sv::Dialogs().showError(this, tr("Save as \".flac\", \".ogg\" or \".wav\"."),
                                tr("Save as Audio"));
        return;
    }
    const QString chosen = m_settings.value(kSoundFontKey).toString();
    const std::string soundFont = chosen.isEmpty() ? FindDefaultSoundFont() : chosen.toStdString();
    m_savePercent = std::make_shared<std::atomic<int>>(0);
    m_savedName = QFileInfo(*path).fileName();
    m_saving.setFuture(QtConcurrent::run([file = m_file, voice = Voice(), soundFont,
                                          rate = m_engine.Rate(), target, percent = m_savePercent] {
        return RenderAudioFile(file, voice, soundFont, rate, target, percent);
    }));
    UpdateStatus();
}

void CMediaPlayer::OnAudioSaved() {
    const QString error = m_saving.result();
    if (!error.isEmpty()) {
        m_savedName.clear();
        sv::Dialogs().showError(this, error, tr("Save as Audio"));
    }
    UpdateStatus();
    emit audioSaved();
}

// The worker loads the whole SoundFont; the synthesizer reaches the engine on this thread.
void CMediaPlayer::LoadSoundFont(const QString& path) {
    if (m_loadingSoundFont) {
        m_pendingPath = path;
        m_pendingLoad = true;
        return;
    }
    StartLoading(path);
}

void CMediaPlayer::StartLoading(const QString& path) {
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
    QMenu* voices = menu.addMenu(tr("&Voice"));
    auto* group = new QActionGroup(voices);
    for (const auto& [voice, name] :
         {std::pair{SongVoice::SoundFont, tr("General MIDI (SoundFont)")},
          std::pair{SongVoice::Fm, tr("FM synthesis (OPL3)")}}) {
        QAction* action = voices->addAction(name, this, [this, voice] { SetVoice(voice); });
        action->setCheckable(true);
        action->setChecked(Voice() == voice);
        group->addAction(action);
    }
    menu.addAction(tr("Choose SoundFont..."), this, &CMediaPlayer::ChooseSoundFont);
    QAction* system =
        menu.addAction(tr("Use the System SoundFont"), this, &CMediaPlayer::UseSystemSoundFont);
    system->setEnabled(!m_settings.value(kSoundFontKey).toString().isEmpty());
    menu.addSeparator();
    QAction* save = menu.addAction(tr("Save as audio..."), this, &CMediaPlayer::SaveAsAudio);
    save->setEnabled(!m_file.empty() && !m_saving.isRunning());
    menu.exec(event->globalPos());
}

SongVoice CMediaPlayer::Voice() const {
    return ReadVoice(m_settings);
}

void CMediaPlayer::SetVoice(SongVoice voice) {
    m_settings.setValue(kVoiceKey, QLatin1String(VoiceName(voice)));
    m_engine.SetVoice(voice);
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

// Also where the engine's own changes are noticed: a piece that ended, a state that changed.
void CMediaPlayer::Refresh() {
    const PlayState state = m_engine.State();
    m_controls->setDuration(Milliseconds(m_engine.Duration()));
    m_controls->setState(ToControls(state));
    m_controls->setPosition(Milliseconds(m_engine.Position()));
    UpdateStatus();
    if (state != m_shownState) {
        m_shownState = state;
        emit stateChanged();
    }
    const std::uint64_t endings = m_engine.Endings();
    if (endings != m_endingsSeen) {
        m_endingsSeen = endings;
        emit ended();
    }
}

void CMediaPlayer::UpdateStatus() {
    QStringList sentences;
    if (!m_fileError.isEmpty()) {
        sentences << m_fileError;
    }
    const bool song = m_engine.Kind() == FileKind::Midi;
    // A song on the FM chip plays without the SoundFont.
    if (!m_soundFontError.isEmpty() &&
        (song ? m_engine.WaitingForSoundFont() : m_engine.Kind() == FileKind::None)) {
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
    if (m_saving.isRunning()) {
        sentences << tr("Saving \"%1\"... %2%").arg(m_savedName).arg(m_savePercent->load());
    } else if (!m_savedName.isEmpty()) {
        sentences << tr("Saved \"%1\".").arg(m_savedName);
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
