// The media player control offscreen, as the main window and a user drive it: the transport bar
// reacts, the player says what keeps it silent (no audio device here, a SoundFont that will not
// load, a file it cannot read), and its own settings survive it.
#include "app/player/CMediaPlayer.h"

#include "PlaybackSupport.h"
#include "controls/Dialogs.h"

#include <QAudioDevice>
#include <QFile>
#include <QMediaDevices>
#include <QSignalSpy>
#include <QSlider>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>
#include <sndfile.h>

namespace sv::test {

class CMediaPlayerTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY(m_settingsDir.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settingsDir.path());
    }

    void init() { QSettings("Merrow Applications", "Sonvault Player").clear(); }

    void outputDeviceIsFedOrItsAbsenceSaid() {
        CMediaPlayer player;
        player.SetFileName(WriteTemp("e.wav", EffectWav(4 * 11025, 441.0)));
        player.Play();
        // Without a device the engine renders all the same: it is only not heard.
        QCOMPARE(player.Engine().State(), sv::PlayState::Playing);
        if (QMediaDevices::defaultAudioOutput().isNull()) {
            QVERIFY(player.StatusText().contains("No audio output device was found"));
            return;
        }
        // The sink keeps taking frames as the device plays them.
        QTRY_VERIFY_WITH_TIMEOUT(player.Engine().FramesPlayed() > 44100, 5000);
        QVERIFY(!player.StatusText().contains("device"));
    }

    void songPlaysOnceTheSoundFontIsLoaded() {
        CMediaPlayer player;
        player.SetFileName(WriteTemp("temp.mid", MidiBuilder().Note(0, 192, 0, 60).Build(768)));
        player.Play(); // may come before the SoundFont is there: it starts when it arrives
        WaitForSoundFont(player);
        if (sv::FindDefaultSoundFont().empty()) {
            QSKIP("no General MIDI SoundFont on this machine");
        }
        QVERIFY(!player.Engine().WaitingForSoundFont());
        QCOMPARE(player.Engine().State(), sv::PlayState::Playing);

        // Stand in for the sound card, and let the controls catch up.
        Frames block(2 * 22050);
        player.Engine().Pull(block.data(), 22050);
        QVERIFY(PeakOf(block) > 0.01f);
        // A sound card, where there is one, may have taken more by now.
        QTRY_VERIFY(player.Controls()->findChild<QSlider*>()->value() >= 500);
        QCOMPARE(player.Controls()->state(), PlayerControls::State::Playing);
    }

    void transportBarDrivesTheEngine() {
        CMediaPlayer player;
        player.SetFileName(WriteTemp("e.wav", EffectWav(2 * 11025, 441.0)));
        WaitForSoundFont(player); // arriving after the effect, it must leave the effect alone
        QToolButton* play = Button(player, 0);
        QToolButton* stop = Button(player, 1);
        QVERIFY(play && stop && play->isEnabled() && !stop->isEnabled());

        play->click();
        QCOMPARE(player.Engine().State(), sv::PlayState::Playing);
        QCOMPARE(play->toolTip(), QString("Pause"));
        QVERIFY(stop->isEnabled());
        play->click();
        QCOMPARE(player.Engine().State(), sv::PlayState::Paused);
        QCOMPARE(play->toolTip(), QString("Play"));

        // A click on the seek slider's groove jumps to that place.
        auto* seek = player.Controls()->findChild<QSlider*>();
        QTest::mouseClick(seek, Qt::LeftButton, {},
                          QPoint(seek->width() * 3 / 4, seek->height() / 2));
        QVERIFY(std::abs(player.Engine().Position() - 1.5) < 0.15);

        stop->click();
        QCOMPARE(player.Engine().State(), sv::PlayState::Stopped);
        QCOMPARE(player.Engine().Position(), 0.0);
        QVERIFY(!stop->isEnabled());
    }

    void unreadableFileIsSaidAndAnEmptyNameReleases() {
        CMediaPlayer player;
        player.SetFileName(WriteTemp("junk.mid", {'j', 'u', 'n', 'k'}));
        QVERIFY(player.StatusText().contains("neither a MIDI song nor a WAV sound"));
        player.SetFileName(m_files.filePath("missing.wav"));
        QVERIFY(player.StatusText().contains("cannot be read"));
        player.Play();
        QCOMPARE(player.Engine().State(), sv::PlayState::Stopped);

        const QString path = WriteTemp("temp.wav", EffectWav(11025, 441.0));
        player.SetFileName(path);
        player.Play();
        player.SetFileName(QString());
        QCOMPARE(player.Engine().Kind(), sv::FileKind::None);
        QCOMPARE(player.Engine().State(), sv::PlayState::Stopped);
        QVERIFY(!Button(player, 0)->isEnabled());
        QVERIFY(QFile::remove(path));
        player.Play(); // nothing to play, nothing happens
        QCOMPARE(player.Engine().State(), sv::PlayState::Stopped);
    }

    void missingSoundFontIsSaidAndNothingBreaks() {
        QSettings("Merrow Applications", "Sonvault Player")
            .setValue("SoundFont", m_files.filePath("gone.sf2"));
        CMediaPlayer player;
        WaitForSoundFont(player);
        QVERIFY(player.StatusText().contains("\"gone.sf2\" could not be loaded"));
        player.SetFileName(WriteTemp("temp.mid", MidiBuilder().Note(0, 192, 0, 60).Build(768)));
        player.Play(); // a song cannot start: it stays stopped rather than pretending to play
        QCOMPARE(player.Engine().State(), sv::PlayState::Stopped);
        QCOMPARE(player.Controls()->state(), PlayerControls::State::Stopped);
        QVERIFY(player.StatusText().contains("could not be loaded"));
        // Effects still play without a SoundFont.
        player.SetFileName(WriteTemp("e.wav", EffectWav(11025, 441.0)));
        player.Play();
        QCOMPARE(player.Engine().State(), sv::PlayState::Playing);
    }

    // The volume and the repeat switch outlive the player.
    void volumeAndRepeatAreRemembered() {
        {
            CMediaPlayer player;
            QCOMPARE(player.Controls()->volume(), 80);
            player.Controls()->findChildren<QSlider*>().at(1)->setValue(35);
            Button(player, 2)->click();
            QVERIFY(player.Engine().Repeat());
        }
        CMediaPlayer again;
        QCOMPARE(again.Controls()->volume(), 35);
        QVERIFY(Button(again, 2)->isChecked() && again.Engine().Repeat());
    }

    void saveAsAudioRendersOnAWorker() {
        QString proposed;
        QString error;
        QString answer = m_files.filePath("saved.ogg");
        sv::Dialogs().saveFile = [&](QWidget*, const QString& name, const QString&,
                                     const QString&) -> std::optional<QString> {
            proposed = name;
            return answer;
        };
        sv::Dialogs().showError = [&](QWidget*, const QString& text, const QString&) {
            error = text;
        };
        CMediaPlayer player;
        player.SaveAsAudio(); // nothing held: nothing asked
        QVERIFY(proposed.isEmpty());

        player.SetFileName(WriteTemp("boom.wav", EffectWav(3 * 11025, 441.0)));
        player.Play();
        QSignalSpy saved(&player, &CMediaPlayer::audioSaved);
        player.SaveAsAudio();
        QCOMPARE(proposed, QString("boom.flac"));
        QVERIFY(saved.count() == 1 || saved.wait(20000)); // the window's loop runs meanwhile
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QCOMPARE(player.Engine().State(), PlayState::Playing);
        QVERIFY(player.StatusText().contains("Saved \"saved.ogg\""));
        SF_INFO info{};
        SNDFILE* f = sf_open(answer.toStdString().c_str(), SFM_READ, &info);
        QVERIFY(f != nullptr);
        sf_close(f);
        QCOMPARE(info.frames, sf_count_t{3 * 44100});

        answer = m_files.filePath("saved.mp3"); // not a format it writes
        player.SaveAsAudio();
        QVERIFY(error.contains(".flac"));
        QVERIFY(!QFile::exists(answer));
        sv::Dialogs() = sv::QtDialogs();
    }

private:
    QString WriteTemp(const QString& name, const std::vector<std::uint8_t>& bytes) {
        QFile file(m_files.filePath(name));
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            file.write(reinterpret_cast<const char*>(bytes.data()),
                       static_cast<qint64>(bytes.size()));
        }
        return file.fileName();
    }
    static void WaitForSoundFont(CMediaPlayer& player) {
        if (player.IsLoadingSoundFont()) {
            QSignalSpy loaded(&player, &CMediaPlayer::soundFontLoaded);
            QVERIFY(loaded.wait(20000));
        }
    }
    // In layout order: play/pause, stop, repeat.
    static QToolButton* Button(CMediaPlayer& player, int index) {
        const auto buttons = player.Controls()->findChildren<QToolButton*>();
        return buttons.size() > index ? buttons[index] : nullptr;
    }

    QTemporaryDir m_settingsDir;
    QTemporaryDir m_files;
};

} // namespace sv::test

QTEST_MAIN(sv::test::CMediaPlayerTest)
#include "CMediaPlayerTest.moc"
