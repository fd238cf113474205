// The media player control below the main window's tree. The main window tells it a file name
// (an empty name lets go of the file) and tells it to play; everything else (the transport bar,
// the volume, the SoundFont for songs) belongs to the player, which keeps its own settings under
// "Merrow Applications" / "Sonvault Player", apart from the application's.
//
// Songs are synthesized with the system's General MIDI SoundFont, or one the user chose from the
// context menu; it is loaded once, on a worker thread, so the window never freezes for it. What
// keeps the player from sounding (no SoundFont, no audio device, a file it cannot read) is said
// in a plain sentence in the player's own area.
//
// The play mode says what happens at the end of a piece: it stops, starts again ("Repeat"), or
// the owner is told (ended()) so that it can play the next entry; it is kept in the player's
// settings. The skip buttons only ask (previous(), next()): the player knows of no list.
// "Save as audio..." in the context menu renders what the player holds to a FLAC, Ogg Vorbis or
// WAV file on a worker thread, with a synthesizer of its own, and shows its progress in the
// player's area; playing goes on meanwhile.
#pragma once

#include "PlayerControls.h"
#include "audio/PlaybackEngine.h"
#include "audio/sink/AudioOutput.h"

#include <QFutureWatcher>
#include <QSettings>
#include <QTimer>
#include <QWidget>
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

class QLabel;

namespace sv {

class CMediaPlayer final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CMediaPlayer)

public:
    explicit CMediaPlayer(QWidget* parent = nullptr);
    ~CMediaPlayer() override;

    // Stops and reads the named file into memory at once (the file may then be overwritten or
    // removed); an empty name stops and releases the file.
    void SetFileName(const QString& name);
    // Plays the file from its start, or from where it was paused.
    void Play();
    void Pause();
    void Stop();
    void PlayPause(); // pauses while playing, else plays
    // Milliseconds from the start, clamped to the piece; seeked() follows.
    void SeekTo(qint64 position);
    // Says in the player's area why there is nothing to play (the owner could not prepare the
    // file); the next SetFileName takes the sentence away.
    void ShowProblem(const QString& sentence);

    // "Save as audio...": asks for a file through the save dialog and renders to it on a
    // worker thread; audioSaved() follows. Nothing happens without a file or while saving.
    void SaveAsAudio();

    // What plays the songs, as kept in the settings; a change applies from the next song set.
    SongVoice Voice() const;
    void SetVoice(SongVoice voice);
    PlayMode Mode() const { return m_controls->mode(); }
    void SetMode(PlayMode mode);
    int Volume() const { return m_controls->volume(); } // percent, as the slider shows it
    void SetVolume(int percent);
    PlayState State() const { return m_engine.State(); }
    qint64 Position() const; // milliseconds
    qint64 Duration() const; // milliseconds; 0 without a file
    // Enables the skip buttons for what the owner's list has around the entry playing.
    void SetNavigation(bool previous, bool next);

    QSize sizeHint() const override;

    // For the tests: the engine behind the controls, the sentence shown, the transport bar.
    PlaybackEngine& Engine() { return m_engine; }
    QString StatusText() const;
    PlayerControls* Controls() const { return m_controls; }
    // True from the start of a SoundFont load until its result has reached the engine.
    bool IsLoadingSoundFont() const { return m_loadingSoundFont; }
    // True while "Save as audio..." renders.
    bool IsSaving() const { return m_saving.isRunning(); }

signals:
    // A SoundFont finished loading, or failed to.
    void soundFontLoaded();
    // "Save as audio..." finished, written or not.
    void audioSaved();
    // The piece played to its end and stopped (it does not, in "Repeat").
    void ended();
    // The skip buttons.
    void previous();
    void next();
    // Playing, paused or stopped: the state changed.
    void stateChanged();
    void modeChanged(PlayMode mode);
    void volumeChanged(int percent);
    // The position jumped (a seek), in milliseconds.
    void seeked(qint64 position);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool event(QEvent* event) override;

private:
    void LoadSoundFont(const QString& path);
    void StartLoading(const QString& path);
    void StartDeferredLoad();
    void OnSoundFontLoaded();
    void ChooseSoundFont();
    void UseSystemSoundFont();
    void OnPlay();
    void OnPause();
    void OnStop();
    void OnSeek(qint64 position);
    void OnVolume(int percent);
    void OnMode(PlayMode mode);
    void OnAudioSaved();
    void Refresh();
    void UpdateStatus();

    PlaybackEngine m_engine;
    AudioOutput m_output;
    QSettings m_settings;
    PlayerControls* m_controls = nullptr;
    QLabel* m_status = nullptr;
    QTimer m_refresh;
    PlayState m_shownState = PlayState::Stopped;
    std::uint64_t m_endingsSeen = 0;
    QFutureWatcher<std::shared_ptr<Synthesizer>> m_loading;
    QString m_loadingPath; // the SoundFont being loaded, empty for the system's
    QString m_pendingPath; // asked for while another was loading
    bool m_pendingLoad = false;
    bool m_loadingSoundFont = false;
    bool m_loadAfterPaint = false; // the first load waits for the first paint
    QString m_soundFontError;
    QString m_fileError;
    std::vector<std::uint8_t> m_file; // what the engine holds, for "Save as audio..."
    QString m_fileName;
    QFutureWatcher<QString> m_saving; // the error, or empty when the file was written
    std::shared_ptr<std::atomic<int>> m_savePercent;
    QString m_savedName;
};

} // namespace sv
