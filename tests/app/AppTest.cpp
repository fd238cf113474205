// The main window and its player offscreen, driven as a user drives them. The engine stands in
// for the sound card: the test pulls an entry's frames to its end. session.sh drives the real
// program by keys and through MPRIS.
#include "DemoData.h"
#include "PlaybackSupport.h"
#include "app/main/CommandLine.h"
#include "app/main/FolderDialog.h"
#include "app/main/MainDialog.h"
#include "app/main/Settings.h"
#include "app/player/CMediaPlayer.h"
#include "controls/Dialogs.h"
#include "controls/LabelCtrl.h"

#include <QAudioDevice>
#include <QLineEdit>
#include <QMediaDevices>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest>
#include <functional>
#include <sndfile.h>

using namespace sv;

namespace {

const QString kDemo = QStringLiteral(SONVAULT_DEMO_DIR "/Arena2");
const QString kOpenFailed =
    "Error!|Failed to open Arena2 folder.\nContents may be incomplete or damaged.";

QString Write(const QString& path, const test::Bytes& bytes) {
    test::WriteFile(path.toStdString(), bytes);
    return path;
}

QStringList Texts(const QTreeWidgetItem* parent) {
    QStringList texts;
    for (int i = 0; i < parent->childCount(); ++i)
        texts << parent->child(i)->text(0);
    return texts;
}

// Runs `answer` on the first popup or modal window of type T once it is up, from inside its loop.
template <class T> void WhenUp(std::function<void(T&)> answer) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, answer] {
        QWidget* up = QApplication::activePopupWidget();
        if (auto* window = qobject_cast<T*>(up ? up : QApplication::activeModalWidget())) {
            poll->deleteLater();
            poll->stop();
            answer(*window);
        }
    });
    poll->start(5);
}

// The folder dialog answered: `typed` into its path field, then Open. What the field showed on
// arrival goes to `shown`.
void AnswerFolderDialog(const QString& typed, QString* shown = nullptr) {
    WhenUp<FolderDialog>([=](FolderDialog& dialog) {
        auto* edit = dialog.findChild<QLineEdit*>("pathEdit");
        if (shown != nullptr)
            *shown = edit->text();
        edit->setText(typed);
        dialog.findChild<QPushButton*>("openButton")->click();
    });
}

// Every value the rebuild's bar paints; at the first paint, a click posted to `target` that must
// wait until the rebuild is over: the bar is painted without letting input in.
struct RebuildWatch final : QObject {
    RebuildWatch(QProgressBar* bar, QWidget* target) : bar(bar), target(target) {
        bar->installEventFilter(this);
        target->installEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == bar && event->type() == QEvent::Paint) {
            painted << bar->value();
            const QPointF at(5, 5);
            if (painted.size() == 1)
                QCoreApplication::postEvent(
                    target, new QMouseEvent(QEvent::MouseButtonPress, at, target->mapToGlobal(at),
                                            Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
        }
        if (watched != target || event->type() != QEvent::MouseButtonPress)
            return false;
        pressWhileBarShown << bar->isVisible();
        return true; // the folder dialog stays shut
    }
    QProgressBar* bar;
    QWidget* target;
    QList<int> painted;
    QList<bool> pressWhileBarShown;
};

// In layout order: play/pause, stop, repeat.
QToolButton* Button(CMediaPlayer& player, int index) {
    return player.Controls()->findChildren<QToolButton*>().value(index);
}

void WaitForSoundFont(CMediaPlayer& player) {
    QSignalSpy loaded(&player, &CMediaPlayer::soundFontLoaded);
    QVERIFY(!player.IsLoadingSoundFont() || loaded.wait(20000));
}

constexpr int kLast = -1;

QTreeWidgetItem* Effect(MainDialog& dialog, int index) {
    QTreeWidgetItem* effects = dialog.Tree()->topLevelItem(0);
    return effects->child(index < 0 ? effects->childCount() + index : index);
}

// Plays the player's piece to its end, and a second longer, as the sound card would.
void PullToEnd(CMediaPlayer& player) {
    PlaybackEngine& engine = player.Engine();
    const auto frames =
        static_cast<std::size_t>(std::ceil((engine.Duration() + 1) * engine.Rate()));
    std::vector<float> out(frames * 2);
    engine.Pull(out.data(), frames);
}

// QTest's key clicks know no media keys.
void Press(QWidget& widget, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QCoreApplication::sendEvent(&widget, &press);
}

bool Drop(MainDialog& dialog, const QString& path) {
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(path)});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&dialog, &enter);
    if (!enter.isAccepted())
        return false;
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&dialog, &drop);
    return drop.isAccepted();
}

} // namespace

class AppTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_settingsDir;
    std::unique_ptr<QTemporaryDir> m_scratch;
    QString m_work;
    QStringList m_errors;            // "caption|text" of each error box
    std::optional<QString> m_chosen; // the folder chooser's answer

    QString Scratch(const QString& name) const { return m_scratch->filePath(name); }
    QString DemoCopy(const QString& name, const QString& from = kDemo) {
        QDir().mkpath(Scratch(name));
        for (const QString& file : QDir(from).entryList(QDir::Files))
            QFile::copy(from + '/' + file, Scratch(name) + '/' + file);
        return Scratch(name);
    }
    QStringList WorkFiles() const { return QDir(m_work).entryList(QDir::Files, QDir::Name); }
    static QString Stored() {
        return QSettings("Merrow Applications", "Sonvault")
            .value("StartupValues/PreviousArena2Path", "(none)")
            .toString();
    }
    static void Select(MainDialog& dialog, const QString& root, int child = -1) {
        QTreeWidgetItem* item = dialog.Tree()->findItems(root, Qt::MatchExactly).value(0);
        dialog.Tree()->setCurrentItem(child < 0 ? item : item->child(child));
    }
    static FileKind Playing(MainDialog& dialog) { return dialog.Player()->Engine().Kind(); }
    static void Click(MainDialog& dialog, const char* name) {
        QTest::mouseClick(dialog.findChild<QWidget*>(name), Qt::LeftButton);
    }
    // Effects under record numbers, songs under names; a song named "NOISE..." is no HMI file.
    QString MadeFolder(const QString& name, const std::vector<std::uint32_t>& effects,
                       const std::vector<std::string>& songs) {
        std::vector<test::Record> fx, music;
        for (const std::uint32_t number : effects)
            fx.push_back({"", number, test::Filled(100, 1)});
        for (std::size_t i = 0; i < songs.size(); ++i)
            music.push_back({songs[i], 0,
                             songs[i].starts_with("NOISE") ? test::Filled(300, 9)
                                                           : demo::MakeSong(int(i), false)});
        QDir().mkpath(Scratch(name));
        Write(Scratch(name) + "/WYVERN.SND", test::MakeBsa(fx, false));
        Write(Scratch(name) + "/MIDI.BSA", test::MakeBsa(music, true));
        return Scratch(name);
    }

private slots:
    void initTestCase() {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settingsDir.path());
    }

    void init() {
        QSettings("Merrow Applications", "Sonvault").clear();
        QSettings("Merrow Applications", "Sonvault Player").clear();
        m_scratch = std::make_unique<QTemporaryDir>();
        m_work = Scratch("work");
        QVERIFY(QDir().mkpath(m_work) && QDir::setCurrent(m_work)); // the work folder
        m_errors.clear();
        m_chosen.reset();
        Dialogs().showError = [this](QWidget*, const QString& text, const QString& caption) {
            m_errors << caption + '|' + text;
        };
        Dialogs().chooseFolder = [this](QWidget*, const QString& title) {
            m_errors << "chooser|" + title;
            return m_chosen;
        };
    }

    void cleanup() {
        Dialogs() = QtDialogs();
        QDir::setCurrent(QDir::tempPath());
        m_scratch.reset();
    }

    // A usable remembered folder fills the tree; otherwise the start is silent, with the first-run
    // look, and a stored value survives while none is written.
    void startUp_data() {
        QTest::addColumn<QString>("stored");
        QTest::newRow("remembered folder") << "Arena2";
        QTest::newRow("only PACKED.DAT: rebuilt") << "Arena2-packed";
        QTest::newRow("nothing remembered") << "";
        QTest::newRow("songs archive damaged") << "Damaged";
    }
    void startUp() {
        QFETCH(QString, stored);
        const bool usable = stored.startsWith("Arena2");
        const QString game = stored.isEmpty() ? "(none)"
                             : usable         ? DemoCopy(stored, SONVAULT_DEMO_DIR "/" + stored)
                                              : DemoCopy(stored);
        if (!stored.isEmpty())
            WritePreviousArena2Path(game);
        if (stored == "Damaged")
            Write(game + "/MIDI.BSA", {5, 0});
        MainDialog dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(dialog.findChild<LabelCtrl*>("pathLabel")->text(),
                 usable ? game : "Click here to set your Arena2 folder...");
        QCOMPARE(dialog.findChild<QWidget*>("exportPicture")->isVisible(), usable);
        QVERIFY(!dialog.findChild<QWidget*>("progressBar")->isVisible() && m_errors.isEmpty());
        QCOMPARE(Stored(), game);
        QVERIFY(WorkFiles().isEmpty()); // nothing played yet
        QCOMPARE(Texts(dialog.Tree()->invisibleRootItem()),
                 usable ? QStringList({"Effects", "Songs"}) : QStringList());
        if (usable) // the demo hides one song
            QCOMPARE(dialog.Tree()->topLevelItem(1)->childCount(),
                     int(demo::SongNames(false).size()) - 1);
    }

    // The names shown, the record behind each, the exact "TAVERN.HMI" rule. A selection writes
    // its kind's file into the work folder and plays it, a song once the SoundFont is loaded; a
    // root opens alone and playback goes on; a song that does not convert is not played.
    void treeAndSelection() {
        WritePreviousArena2Path(MadeFolder(
            "Made", {7, 3, 12}, {"A.HMI", "TAVERN.HMI", "tavern.hmi", "TAVERN.HMI2", "NOISE.HMI"}));
        MainDialog dialog;
        QCOMPARE(Texts(dialog.Tree()->topLevelItem(0)), QStringList({"7", "3", "12"}));
        QCOMPARE(Texts(dialog.Tree()->topLevelItem(1)),
                 QStringList({"A.HMI", "tavern.hmi", "TAVERN.HMI2", "NOISE.HMI"}));
        Select(dialog, "Songs", 2); // record 3: the index, not the position, names it
        QVERIFY(dialog.CurrentItem()->index == 3 && dialog.CurrentKind() == TreeItemKind::Song);
        QCOMPARE(WorkFiles(), QStringList({"temp.mid"}));
        WaitForSoundFont(*dialog.Player()); // a song asked to play before it came starts now
        QCOMPARE(Playing(dialog), FileKind::Midi);
        QCOMPARE(dialog.Player()->Engine().State(), PlayState::Playing);
        Select(dialog, "Effects", 1);
        QVERIFY(dialog.CurrentItem()->index == 1 && dialog.CurrentKind() == TreeItemKind::Effect);
        QCOMPARE(WorkFiles(), QStringList({"temp.mid", "temp.wav"}));
        QCOMPARE(dialog.Player()->Engine().State(), PlayState::Playing);
        Select(dialog, "Songs");
        QCOMPARE(dialog.CurrentKind(), TreeItemKind::Folder);
        QCOMPARE(Playing(dialog), FileKind::Wav);
        QVERIFY(dialog.Tree()->topLevelItem(1)->isExpanded() &&
                !dialog.Tree()->topLevelItem(0)->isExpanded());
        Select(dialog, "Songs", 3);
        QCOMPARE(Playing(dialog), FileKind::None);
        QVERIFY(dialog.Player()->StatusText().contains("could not be converted"));
        QVERIFY(!QFile::exists(m_work + "/temp.hmi"));
    }

    void folderDialogOpenCancelAndFailure() {
        const QString first = DemoCopy("First");
        const QString damaged = DemoCopy("Damaged");
        Write(damaged + "/MIDI.BSA", {3, 0, 0});
        const QString second = MadeFolder("Second", {1}, {"ONE.HMI", "TWO.HMI"}) + '/';
        MainDialog dialog;
        // Open: the tree fills, the folder is remembered exactly as typed.
        QString shown = "unset";
        AnswerFolderDialog(second, &shown);
        Click(dialog, "pathLabel");
        QCOMPARE(shown, QString()); // nothing remembered yet
        QCOMPARE(Stored(), second);
        QCOMPARE(Texts(dialog.Tree()->topLevelItem(1)), QStringList({"ONE.HMI", "TWO.HMI"}));
        // Browse: a cancelled chooser leaves the field, a chosen folder fills it; Cancel then
        // changes nothing.
        WhenUp<FolderDialog>([&](FolderDialog& d) {
            shown = d.findChild<QLineEdit*>("pathEdit")->text();
            d.findChild<QPushButton*>("browseButton")->click();
            QCOMPARE(d.findChild<QLineEdit*>("pathEdit")->text(), second);
            m_chosen = first;
            d.findChild<QPushButton*>("browseButton")->click();
            QCOMPARE(d.findChild<QLineEdit*>("pathEdit")->text(), first);
            d.findChild<QPushButton*>("cancelButton")->click();
        });
        Click(dialog, "folderPicture");
        QCOMPARE(shown, second);
        QCOMPARE(m_errors, QStringList(2, "chooser|Select Arena2 Folder"));
        // Failures: one error box each; the tree and the setting stay.
        Select(dialog, "Songs", 0);
        const test::Bytes played = test::ReadFile(m_work.toStdString() + "/temp.mid");
        for (const QString& bad : {Scratch("nowhere"), QString(), damaged}) {
            m_errors.clear();
            AnswerFolderDialog(bad, &shown);
            Click(dialog, "pathLabel");
            QCOMPARE(shown, second);
            QCOMPARE(m_errors, QStringList({kOpenFailed}));
            QCOMPARE(Texts(dialog.Tree()->topLevelItem(1)), QStringList({"ONE.HMI", "TWO.HMI"}));
        }
        QCOMPARE(Stored(), second);
        // The songs archive that failed to open is closed: an old song is not replayed from an
        // earlier "temp.mid", and the player says why. The effects still come from the damaged
        // folder's sound archive, which opened.
        Select(dialog, "Songs", 1);
        QCOMPARE(Playing(dialog), FileKind::None);
        QVERIFY(dialog.Player()->StatusText().contains("could not be read"));
        QVERIFY(test::ReadFile(m_work.toStdString() + "/temp.mid") == played);
        Select(dialog, "Effects", 0);
        QCOMPARE(Playing(dialog), FileKind::Wav);
        // A second good open clears the old listing, the player's file and the selection.
        AnswerFolderDialog(first);
        Click(dialog, "pathLabel");
        QVERIFY(dialog.CurrentItem() == nullptr && dialog.Tree()->topLevelItemCount() == 2);
        QCOMPARE(Playing(dialog), FileKind::None);
        QCOMPARE(Stored(), first);
    }

    // The rebuild paints the bar as it goes, and a click made meanwhile waits for its end.
    void packedFolderOpensThroughARebuild() {
        const QString packed = DemoCopy("Packed", SONVAULT_DEMO_DIR "/Arena2-packed");
        MainDialog dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto* bar = dialog.findChild<QProgressBar*>("progressBar");
        RebuildWatch watch(bar, dialog.findChild<QWidget*>("folderPicture"));
        AnswerFolderDialog(packed);
        Click(dialog, "pathLabel");
        QVERIFY(m_errors.isEmpty() && !bar->isVisible());
        // Into a folder of the work folder named after the container.
        const QStringList rebuilt = QDir(m_work).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        QCOMPARE(rebuilt.size(), 1);
        QVERIFY(test::ReadFile(QString(m_work + "/" + rebuilt[0] + "/WYVERN.SND").toStdString()) ==
                test::ReadFile(SONVAULT_DEMO_DIR "/Arena2/WYVERN.SND"));
        QVERIFY(!QFile::exists(packed + "/WYVERN.SND")); // rebuilt in the work folder only
        QCOMPARE(watch.painted.last(), bar->maximum());  // painted as it moved
        QVERIFY(watch.pressWhileBarShown.isEmpty());     // still queued when the open returned
        QTRY_COMPARE(watch.pressWhileBarShown, QList<bool>({false}));
    }

    // A work folder removed before start-up: playback fails in the player's area, and nothing is
    // written anywhere else.
    void vanishedWorkFolderWritesNothing() {
        WritePreviousArena2Path(DemoCopy("Arena2"));
        QVERIFY(QDir(m_work).removeRecursively());
        const bool rootHadTemp = QFile::exists("/temp.mid") || QFile::exists("/temp.hmi");
        MainDialog dialog;
        Select(dialog, "Songs", 0);
        QCOMPARE(Playing(dialog), FileKind::None);
        QVERIFY(dialog.Player()->StatusText().contains("could not be extracted"));
        QCOMPARE(QFile::exists("/temp.mid") || QFile::exists("/temp.hmi"), rootHadTemp);
        QCOMPARE(QDir(Scratch("Arena2")).entryList(QDir::Files).size(), 2);
    }

    // A right click opens the menu, with no export before a folder is open; keypad Enter closes
    // the window as Return does. session.sh presses Return, Escape and the Menu key.
    void rightClickAndKeypadEnter() {
        MainDialog dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QStringList seen;
        WhenUp<QMenu>([&](QMenu& menu) {
            for (QAction* action : menu.actions())
                seen << action->text();
            menu.close();
        });
        QTest::mouseClick(dialog.windowHandle(), Qt::RightButton, {},
                          dialog.Tree()->viewport()->mapTo(&dialog, QPoint(50, 50)));
        QTRY_COMPARE(seen, QStringList({"&About Sonvault..."}));
        QTest::keyClick(dialog.Tree(), Qt::Key_Enter, Qt::KeypadModifier);
        QVERIFY(dialog.result() == QDialog::Accepted && !dialog.isVisible());
    }

    // A SoundFont that does not load and a file the player cannot read are said; an effect plays
    // through the transport bar all the same, and without a device the player says so. "Save as
    // audio" renders on a worker and refuses a type it does not write. A song on the FM voice
    // plays without the SoundFont. The volume, the repeat switch and the voice outlive the player.
    void player() {
        QSettings("Merrow Applications", "Sonvault Player").setValue("SoundFont", Scratch("x.sf2"));
        QString proposed, error, answer = Scratch("saved.ogg");
        Dialogs().saveFile = [&](QWidget*, const QString& name, const QString&, const QString&) {
            proposed = name;
            return std::optional<QString>(answer);
        };
        Dialogs().showError = [&](QWidget*, const QString& text, const QString&) { error = text; };
        {
            CMediaPlayer player;
            WaitForSoundFont(player);
            player.SetFileName(
                Write(Scratch("a.mid"), test::MidiBuilder().Note(0, 9, 0, 60).Build(96)));
            player.Play(); // a song cannot start: it stays stopped rather than pretend to play
            QCOMPARE(player.Controls()->state(), PlayerControls::State::Stopped);
            QVERIFY(player.StatusText().contains("\"x.sf2\" could not be loaded"));
            player.SetVoice(
                SongVoice::Fm); // from the next song set on: the chip needs no SoundFont
            QVERIFY(player.Engine().WaitingForSoundFont());
            player.SetFileName(Scratch("a.mid"));
            player.Play();
            QCOMPARE(player.Engine().State(), PlayState::Playing);
            QVERIFY(!player.StatusText().contains("could not be loaded"));
            player.SetFileName(Write(Scratch("junk.mid"), {'j', 'u', 'n', 'k'}));
            QVERIFY(player.StatusText().contains("neither a MIDI song nor a WAV sound"));

            player.SetFileName(Write(Scratch("boom.wav"), test::EffectWav(2 * 11025, 441.0)));
            Button(player, 0)->click();
            QCOMPARE(player.Engine().State(), PlayState::Playing);
            if (QMediaDevices::defaultAudioOutput().isNull())
                QVERIFY(player.StatusText().contains("No audio output device was found"));
            Button(player, 0)->click();
            QCOMPARE(player.Engine().State(), PlayState::Paused);
            auto* seek = player.Controls()->findChild<QSlider*>(); // a click on the groove jumps
            QTest::mouseClick(seek, Qt::LeftButton, {}, QPoint(seek->width() * 3 / 4, 5));
            QVERIFY(std::abs(player.Engine().Position() - 1.5) < 0.15);
            Button(player, 1)->click();
            QVERIFY(player.Engine().Position() == 0.0 && !Button(player, 1)->isEnabled());
            player.Controls()->findChildren<QSlider*>().at(1)->setValue(35);

            QSignalSpy saved(&player, &CMediaPlayer::audioSaved);
            player.SaveAsAudio();
            QCOMPARE(proposed, QString("boom.flac"));
            QVERIFY(saved.count() == 1 || saved.wait(20000)); // the window's loop runs meanwhile
            QVERIFY(error.isEmpty() && player.StatusText().contains("Saved \"saved.ogg\""));
            SF_INFO info{};
            sf_close(sf_open(answer.toStdString().c_str(), SFM_READ, &info));
            QCOMPARE(info.frames, sf_count_t{2 * 44100});
            answer = Scratch("saved.mp3");
            player.SaveAsAudio();
            QVERIFY(error.contains(".flac") && !QFile::exists(answer));
        }
        CMediaPlayer again;
        QCOMPARE(again.Controls()->volume(), 35);
        QCOMPARE(again.Voice(), SongVoice::Fm);
    }

    // Where the selection is once the entry selected has played to its end.
    void entryEnds() {
        const struct {
            PlayMode mode;
            int from, then;
            bool playing;
        } cases[] = {{PlayMode::Once, 0, 0, false},
                     {PlayMode::RepeatOne, 0, 0, true},
                     {PlayMode::PlayThrough, 0, 1, true},
                     {PlayMode::PlayThrough, kLast, kLast, false},
                     {PlayMode::RepeatAll, kLast, 0, true}};
        WritePreviousArena2Path(kDemo);
        for (const auto& c : cases) {
            MainDialog dialog;
            CMediaPlayer& player = *dialog.Player();
            player.SetMode(c.mode);
            dialog.Tree()->setCurrentItem(Effect(dialog, c.from));
            PullToEnd(player); // the last effect is the empty record: it ends at once
            QTRY_COMPARE(dialog.Tree()->currentItem(), Effect(dialog, c.then));
            QTest::qWait(250); // the player's refresh has run since, and nothing moved on
            QCOMPARE(dialog.Tree()->currentItem(), Effect(dialog, c.then));
            QCOMPARE(dialog.PlayingItem()->item, Effect(dialog, c.then));
            QCOMPARE(player.State() == PlayState::Playing, c.playing);
        }
    }

    // The skip buttons and the media keys move through the folder; a folder selected since
    // the entry started keeps the selection where it is when the entry ends.
    void skipping() {
        WritePreviousArena2Path(kDemo);
        MainDialog dialog;
        CMediaPlayer& player = *dialog.Player();
        QTreeWidget* tree = dialog.Tree();
        const auto buttons = player.findChildren<QToolButton*>(); // play, stop, mode, prev, next
        tree->setCurrentItem(tree->topLevelItem(0));
        buttons[4]->click(); // a folder's next is its first entry
        QCOMPARE(tree->currentItem(), Effect(dialog, 0));
        QVERIFY(!buttons[3]->isEnabled() && buttons[4]->isEnabled());
        Press(dialog, Qt::Key_MediaNext);
        QCOMPARE(dialog.PlayingItem()->item, Effect(dialog, 1));
        Press(dialog, Qt::Key_MediaPrevious);
        QCOMPARE(tree->currentItem(), Effect(dialog, 0));
        Press(dialog, Qt::Key_MediaPrevious); // none before the first
        QCOMPARE(tree->currentItem(), Effect(dialog, 0));
        player.SetMode(PlayMode::RepeatAll);
        QVERIFY(buttons[3]->isEnabled());
        buttons[3]->click();
        QCOMPARE(tree->currentItem(), Effect(dialog, kLast));

        const std::pair<Qt::Key, PlayState> keys[] = {
            {Qt::Key_MediaTogglePlayPause, PlayState::Paused},
            {Qt::Key_MediaPlay, PlayState::Playing},
            {Qt::Key_MediaPause, PlayState::Paused},
            {Qt::Key_MediaStop, PlayState::Stopped}};
        for (const auto& [key, state] : keys) {
            Press(dialog, key);
            QCOMPARE(player.State(), state);
        }

        player.SetMode(PlayMode::PlayThrough);
        tree->setCurrentItem(Effect(dialog, 0));
        tree->setCurrentItem(tree->topLevelItem(1)); // "Songs"; the effect plays on
        PullToEnd(player);
        QTest::qWait(250);
        QCOMPARE(tree->currentItem(), tree->topLevelItem(1));
    }

    // A folder named at start-up, or dropped, opens as the folder dialog opens one.
    void folderFromOutside() {
        WritePreviousArena2Path(kDemo);
        {
            MainDialog dialog(nullptr, Scratch("nowhere"));
            QTRY_COMPARE(m_errors, QStringList{kOpenFailed});
            QCOMPARE(dialog.Tree()->topLevelItemCount(), 2); // the remembered folder instead
            QCOMPARE(Stored(), kDemo);
            QVERIFY(!Drop(dialog, kDemo + "/MIDI.BSA")); // a file is no folder
            QVERIFY(Drop(dialog, m_work));
            QTRY_COMPARE(m_errors.size(), 2);
        }
        QSettings("Merrow Applications", "Sonvault").clear();
        MainDialog dialog(nullptr, kDemo);
        QCOMPARE(dialog.Tree()->topLevelItem(1)->childCount(), 15);
        QCOMPARE(Stored(), kDemo);
        QSettings("Merrow Applications", "Sonvault").clear();
        QVERIFY(Drop(dialog, kDemo));
        QTRY_COMPARE(Stored(), kDemo);
        QCOMPARE(m_errors.size(), 2);
    }

    // The tree's lengths, worked out without playing, are the player's own: an effect's and
    // every song's.
    void lengthsAreThePlayers() {
        WritePreviousArena2Path(kDemo);
        MainDialog dialog;
        QTreeWidgetItem* songs = dialog.Tree()->topLevelItem(1);
        QTRY_VERIFY(!songs->child(songs->childCount() - 1)->text(1).isEmpty());
        for (int i = -1; i < songs->childCount(); ++i) {
            QTreeWidgetItem* item = i < 0 ? Effect(dialog, 0) : songs->child(i);
            dialog.Tree()->setCurrentItem(item);
            const qint64 ms = dialog.Player()->Duration();
            QCOMPARE(item->text(1), i < 0 ? QString::number(ms / 1000.0, 'f', 1) + " s"
                                          : QStringLiteral("%1:%2")
                                                .arg(ms / 60000)
                                                .arg(ms / 1000 % 60, 2, 10, QChar('0')));
        }
    }

    void commandLine() {
        using A = CommandLine::Action;
        const struct {
            QStringList arguments;
            A action;
            QString folder;
            bool qtLeft = false; // before Qt has taken its options: only ours are judged
        } cases[] = {
            {{}, A::Run, ""},
            {{"g"}, A::Run, "g"},
            {{"--", "-g"}, A::Run, "-g"},
            {{"-x", "g", "--help"}, A::Help, ""},
            {{"-h"}, A::Help, ""},
            {{"--version"}, A::Version, ""},
            {{"g", "--x"}, A::Usage, ""},
            {{"g", "h"}, A::Usage, ""},
            {{"-platform", "x", "g"}, A::Run, "", true},
            {{"-style", "--x"}, A::Usage, "", true},
        };
        for (const auto& c : cases) {
            const CommandLine line = ParseCommandLine(c.arguments, c.qtLeft);
            QCOMPARE(line.action, c.action);
            QCOMPARE(line.folder, c.folder);
            QCOMPARE(line.error.isEmpty(), c.action != A::Usage);
        }
    }

    // A click steps through the four modes; the mode outlives the player, and the old "Repeat"
    // switch is read as repeating the entry.
    void modeCyclesAndIsKept() {
        QSettings("Merrow Applications", "Sonvault Player").setValue("Repeat", true);
        std::unique_ptr<CMediaPlayer> player = std::make_unique<CMediaPlayer>();
        QCOMPARE(player->Mode(), PlayMode::RepeatOne);
        QToolButton* mode = player->findChildren<QToolButton*>().at(2);
        const PlayMode cycle[] = {PlayMode::PlayThrough, PlayMode::RepeatAll, PlayMode::Once,
                                  PlayMode::RepeatOne, PlayMode::PlayThrough};
        for (const PlayMode expected : cycle) {
            mode->click();
            QCOMPARE(player->Mode(), expected);
            QCOMPARE(mode->isChecked(), expected != PlayMode::Once);
            QCOMPARE(player->Engine().Repeat(), expected == PlayMode::RepeatOne);
        }
        player = std::make_unique<CMediaPlayer>();
        QCOMPARE(player->Mode(), PlayMode::PlayThrough);
    }
};

QTEST_MAIN(AppTest)
#include "AppTest.moc"
