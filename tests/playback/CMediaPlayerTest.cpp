// The media player control offscreen, as the main window and a user drive it: the transport bar
// reacts, the player says what keeps it silent (no audio device here, a SoundFont that will not
// load, a file it cannot read), and its own settings survive it.
#include "app/player/CMediaPlayer.h"

#include "MidiBuilder.h"
#include "WavBuilder.h"

#include <QAudioDevice>
#include <QFile>
#include <QMediaDevices>
#include <QSignalSpy>
#include <QSlider>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>
#include <memory>

class CMediaPlayerTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void saysWhenThereIsNoAudioDevice();
    void audioDeviceIsFedAtItsOwnPace();
    void songPlaysOnceTheSoundFontIsLoaded();
    void transportBarDrivesTheEngine();
    void emptyNameReleasesTheFile();
    void unreadableFileIsSaid();
    void missingSoundFontIsSaidAndNothingBreaks();
    void volumeIsRemembered();

private:
    QString WriteTemp(const QString& name, const std::vector<std::uint8_t>& bytes);
    static void WaitForSoundFont(CMediaPlayer& player);
    static QToolButton* Button(CMediaPlayer& player, int index);

    QTemporaryDir m_settingsDir;
    QTemporaryDir m_files;
};

void CMediaPlayerTest::initTestCase() {
    QVERIFY(m_settingsDir.isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settingsDir.path());
}

void CMediaPlayerTest::init() {
    QSettings("Merrow Applications", "Sonvault Player").clear();
}

QString CMediaPlayerTest::WriteTemp(const QString& name, const std::vector<std::uint8_t>& bytes) {
    const QString path = m_files.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return {};
    }
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
    return path;
}

void CMediaPlayerTest::WaitForSoundFont(CMediaPlayer& player) {
    if (player.IsLoadingSoundFont()) {
        QSignalSpy loaded(&player, &CMediaPlayer::soundFontLoaded);
        QVERIFY(loaded.wait(20000));
    }
}

// The transport bar's buttons in layout order: play/pause, stop.
QToolButton* CMediaPlayerTest::Button(CMediaPlayer& player, int index) {
    const auto buttons = player.Controls()->findChildren<QToolButton*>();
    return buttons.size() > index ? buttons[index] : nullptr;
}

void CMediaPlayerTest::saysWhenThereIsNoAudioDevice() {
    if (!QMediaDevices::defaultAudioOutput().isNull()) {
        QSKIP("this machine has an audio output device");
    }
    CMediaPlayer player;
    player.SetFileName(WriteTemp("e.wav", testing_support::EffectWav(11025, 441.0)));
    player.Play();
    QVERIFY(player.StatusText().contains("No audio output device was found"));
    // The engine renders all the same: it is only not heard.
    QCOMPARE(player.Engine().State(), audio::PlayState::Playing);
}

void CMediaPlayerTest::audioDeviceIsFedAtItsOwnPace() {
    if (QMediaDevices::defaultAudioOutput().isNull()) {
        QSKIP("this machine has no audio output device");
    }
    CMediaPlayer player;
    player.SetFileName(WriteTemp("e.wav", testing_support::EffectWav(4 * 11025, 441.0)));
    player.Play();
    QVERIFY(!player.StatusText().contains("device"));
    // The sink keeps taking frames as the device plays them.
    QTRY_VERIFY_WITH_TIMEOUT(player.Engine().FramesPlayed() > 44100, 5000);
    QVERIFY(!player.StatusText().contains("device"));
}

void CMediaPlayerTest::songPlaysOnceTheSoundFontIsLoaded() {
    const QString song =
        WriteTemp("temp.mid", testing_support::MidiBuilder().Note(0, 192, 0, 60).Build(768));
    CMediaPlayer player;
    player.SetFileName(song);
    player.Play(); // may come before the SoundFont is there: it starts when it arrives
    WaitForSoundFont(player);
    if (audio::FindDefaultSoundFont().empty()) {
        QSKIP("no General MIDI SoundFont on this machine");
    }
    QVERIFY(!player.Engine().WaitingForSoundFont());
    QCOMPARE(player.Engine().State(), audio::PlayState::Playing);

    // Stand in for the sound card, and let the controls catch up.
    std::vector<float> block(2 * 22050);
    player.Engine().Pull(block.data(), 22050);
    float peak = 0;
    for (const float s : block) {
        peak = std::max(peak, std::fabs(s));
    }
    QVERIFY(peak > 0.01f);
    // A sound card, where there is one, may have taken more by now.
    QTRY_VERIFY(player.Controls()->findChild<QSlider*>()->value() >= 500);
    QCOMPARE(player.Controls()->state(), PlayerControls::State::Playing);
    QVERIFY(player.StatusText().contains("song") || player.StatusText().contains("audio"));
}

void CMediaPlayerTest::transportBarDrivesTheEngine() {
    CMediaPlayer player;
    player.SetFileName(WriteTemp("e.wav", testing_support::EffectWav(2 * 11025, 441.0)));
    WaitForSoundFont(player); // arriving after the effect, it must leave the effect alone
    QToolButton* play = Button(player, 0);
    QToolButton* stop = Button(player, 1);
    QVERIFY(play && stop);
    QVERIFY(play->isEnabled());
    QVERIFY(!stop->isEnabled());

    play->click();
    QCOMPARE(player.Engine().State(), audio::PlayState::Playing);
    QCOMPARE(play->toolTip(), QString("Pause"));
    QVERIFY(stop->isEnabled());
    play->click();
    QCOMPARE(player.Engine().State(), audio::PlayState::Paused);
    QCOMPARE(play->toolTip(), QString("Play"));

    // A click on the seek slider's groove jumps to that place.
    auto* seek = player.Controls()->findChild<QSlider*>();
    QVERIFY(seek->isEnabled());
    QCOMPARE(seek->maximum(), 2000);
    QTest::mouseClick(seek, Qt::LeftButton, {}, QPoint(seek->width() * 3 / 4, seek->height() / 2));
    QVERIFY(std::abs(player.Engine().Position() - 1.5) < 0.15);

    stop->click();
    QCOMPARE(player.Engine().State(), audio::PlayState::Stopped);
    QCOMPARE(player.Engine().Position(), 0.0);
    QVERIFY(!stop->isEnabled());
}

void CMediaPlayerTest::emptyNameReleasesTheFile() {
    const QString path = WriteTemp("temp.wav", testing_support::EffectWav(11025, 441.0));
    CMediaPlayer player;
    player.SetFileName(path);
    player.Play();
    player.SetFileName(QString());
    QCOMPARE(player.Engine().Kind(), audio::FileKind::None);
    QCOMPARE(player.Engine().State(), audio::PlayState::Stopped);
    QVERIFY(!Button(player, 0)->isEnabled());
    QVERIFY(QFile::remove(path));
    player.Play(); // nothing to play, nothing happens
    QCOMPARE(player.Engine().State(), audio::PlayState::Stopped);
}

void CMediaPlayerTest::unreadableFileIsSaid() {
    CMediaPlayer player;
    player.SetFileName(WriteTemp("junk.mid", {'j', 'u', 'n', 'k'}));
    QVERIFY(player.StatusText().contains("neither a MIDI song nor a WAV sound"));
    player.SetFileName(m_files.filePath("missing.wav"));
    QVERIFY(player.StatusText().contains("cannot be read"));
    player.Play();
    QCOMPARE(player.Engine().State(), audio::PlayState::Stopped);
}

void CMediaPlayerTest::missingSoundFontIsSaidAndNothingBreaks() {
    QSettings("Merrow Applications", "Sonvault Player")
        .setValue("SoundFont", m_files.filePath("gone.sf2"));
    CMediaPlayer player;
    WaitForSoundFont(player);
    QVERIFY(player.StatusText().contains("\"gone.sf2\" could not be loaded"));
    player.SetFileName(
        WriteTemp("temp.mid", testing_support::MidiBuilder().Note(0, 192, 0, 60).Build(768)));
    player.Play(); // a song cannot start: it stays stopped rather than pretending to play
    QCOMPARE(player.Engine().State(), audio::PlayState::Stopped);
    QCOMPARE(player.Controls()->state(), PlayerControls::State::Stopped);
    std::vector<float> block(2 * 4410);
    player.Engine().Pull(block.data(), 4410);
    QVERIFY(player.StatusText().contains("could not be loaded"));
    // Effects still play without a SoundFont.
    player.SetFileName(WriteTemp("e.wav", testing_support::EffectWav(11025, 441.0)));
    player.Play();
    QCOMPARE(player.Engine().State(), audio::PlayState::Playing);
}

void CMediaPlayerTest::volumeIsRemembered() {
    {
        CMediaPlayer player;
        QCOMPARE(player.Controls()->volume(), 80);
        auto sliders = player.Controls()->findChildren<QSlider*>();
        QCOMPARE(sliders.size(), 2);
        sliders[1]->setValue(35);
    }
    CMediaPlayer again;
    QCOMPARE(again.Controls()->volume(), 35);
    QCOMPARE(QSettings("Merrow Applications", "Sonvault Player").value("Volume").toInt(), 35);
}

QTEST_MAIN(CMediaPlayerTest)
#include "CMediaPlayerTest.moc"
