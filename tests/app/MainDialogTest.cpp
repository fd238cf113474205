// The main window offscreen, driven as a user drives it: start-up with and without a usable
// remembered folder; the tree; playback into the work folder; the folder dialog and the setting;
// the rebuild from "PACKED.DAT" and the input held back meanwhile; damaged archives; the context
// menu. Keys and the start-up rebuild are driven for real by xvfb_session.sh.
#include "app/main/MainDialog.h"

#include "DemoData.h"
#include "TestSupport.h"
#include "app/main/FolderDialog.h"
#include "app/main/Settings.h"
#include "app/player/CMediaPlayer.h"
#include "controls/CHotStatic.h"
#include "controls/Dialogs.h"
#include "controls/LabelCtrl.h"

#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>
#include <functional>
#include <memory>
#include <optional>

namespace {

using sv::test::WriteFile;

const QString kDemo = QStringLiteral(SONVAULT_DEMO_DIR "/Arena2");
const QString kPackedDemo = QStringLiteral(SONVAULT_DEMO_DIR "/Arena2-packed");
const QString kOpenFailed =
    QStringLiteral("Error!|Failed to open Arena2 folder.\nContents may be incomplete or damaged.");
const char* const kSettingKey = "StartupValues/PreviousArena2Path";

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void CopyFolder(const QString& from, const QString& to) {
    QVERIFY(QDir().mkpath(to));
    const QStringList files = QDir(from).entryList(QDir::Files);
    QVERIFY2(!files.isEmpty(), qPrintable(from + " is empty; build the demo data first"));
    for (const QString& name : files) {
        QVERIFY(QFile::copy(from + '/' + name, to + '/' + name));
    }
}

// Every file of a folder with its bytes, to prove a folder untouched.
QMap<QString, QByteArray> Snapshot(const QString& folder) {
    QMap<QString, QByteArray> files;
    for (const QString& name : QDir(folder).entryList(QDir::Files)) {
        files[name] = ReadAll(folder + '/' + name);
    }
    return files;
}

QStringList Texts(const QTreeWidgetItem* parent) {
    QStringList texts;
    for (int i = 0; i < parent->childCount(); ++i) {
        texts << parent->child(i)->text(0);
    }
    return texts;
}

bool Shows(const QLabel* label, const char* resource) {
    const QImage expected = QIcon(QString::fromLatin1(resource))
                                .pixmap(label->size(), label->devicePixelRatioF())
                                .toImage();
    return label->pixmap().toImage() == expected;
}

// Runs `answer` on the first modal window of type T once it is up, from inside its own loop.
template <class T> void WhenModal(std::function<void(T&)> answer) {
    auto* poll = new QTimer;
    poll->setInterval(5);
    QObject::connect(poll, &QTimer::timeout, [poll, answer] {
        if (auto* window = qobject_cast<T*>(QApplication::activeModalWidget())) {
            poll->stop();
            poll->deleteLater();
            answer(*window);
        }
    });
    poll->start();
}

// The folder dialog, answered: the text typed into the path field (none keeps what it shows),
// then "Open" or "Cancel". What the field showed on arrival goes to `shown`.
void AnswerFolderDialog(std::optional<QString> typed, bool open, QString* shown = nullptr) {
    WhenModal<sv::FolderDialog>([=](sv::FolderDialog& dialog) {
        auto* edit = dialog.findChild<QLineEdit*>("pathEdit");
        if (shown != nullptr) {
            *shown = edit->text();
        }
        if (typed) {
            edit->setText(*typed);
        }
        dialog.findChild<QPushButton*>(open ? "openButton" : "cancelButton")->click();
    });
}

// The rebuild's progress bar seen from outside: every value it paints, and a click posted to
// `target` at its first paint, which must wait until the rebuild is over.
class RebuildWatch final : public QObject {
public:
    RebuildWatch(QProgressBar* bar, QWidget* target) : m_bar(bar), m_target(target) {
        bar->installEventFilter(this);
        target->installEventFilter(this);
    }
    QList<int> painted;
    QList<bool> pressArrivedWhileBarShown;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == m_bar && event->type() == QEvent::Paint) {
            painted << m_bar->value();
            if (!m_posted) {
                m_posted = true;
                const QPointF at(5, 5);
                QCoreApplication::postEvent(
                    m_target,
                    new QMouseEvent(QEvent::MouseButtonPress, at, m_target->mapToGlobal(at),
                                    Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
            }
        }
        if (watched == m_target && event->type() == QEvent::MouseButtonPress) {
            pressArrivedWhileBarShown << m_bar->isVisible();
            return true; // seen; the folder dialog stays shut
        }
        return false;
    }

private:
    QProgressBar* m_bar;
    QWidget* m_target;
    bool m_posted = false;
};

struct Window {
    explicit Window(sv::MainDialog& d)
        : dialog(d), tree(d.Tree()), player(d.Player()),
          label(d.findChild<sv::LabelCtrl*>("pathLabel")),
          folderPicture(d.findChild<sv::CHotStatic*>("folderPicture")),
          exportPicture(d.findChild<sv::CHotStatic*>("exportPicture")),
          progress(d.findChild<QProgressBar*>("progressBar")) {}

    void Select(const QString& root, int child = -1) {
        QTreeWidgetItem* item = tree->findItems(root, Qt::MatchExactly).value(0);
        QVERIFY(item != nullptr);
        if (child >= 0) {
            item = item->child(child);
            QVERIFY(item != nullptr);
        }
        tree->setCurrentItem(item);
    }
    sv::FileKind Playing() const { return player->Engine().Kind(); }

    sv::MainDialog& dialog;
    QTreeWidget* tree;
    sv::CMediaPlayer* player;
    sv::LabelCtrl* label;
    sv::CHotStatic* folderPicture;
    sv::CHotStatic* exportPicture;
    QProgressBar* progress;
};

} // namespace

class MainDialogTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_settingsDir;
    std::unique_ptr<QTemporaryDir> m_scratch;
    QString m_work;
    QStringList m_errors; // "caption|text" of each error box
    QStringList m_chooserTitles;
    std::optional<QString> m_chooserAnswer;

    QString Scratch(const QString& name) const { return m_scratch->filePath(name); }
    QString DemoCopy(const QString& name = QStringLiteral("Arena2"), const QString& from = kDemo) {
        CopyFolder(from, Scratch(name));
        return Scratch(name);
    }
    QStringList WorkFiles() const { return QDir(m_work).entryList(QDir::Files, QDir::Name); }
    QVariant StoredSetting() const {
        return QSettings("Merrow Applications", "Sonvault").value(kSettingKey);
    }
    // A game folder of hand-made archives: effects under record numbers, songs under names; a
    // song named "NOISE..." holds bytes that are no HMI file.
    QString MadeFolder(const QString& name, const std::vector<std::uint32_t>& effectNumbers,
                       const std::vector<std::string>& songNames) {
        using sv::test::Record;
        std::vector<Record> effects, songs;
        for (std::size_t i = 0; i < effectNumbers.size(); ++i) {
            effects.push_back(Record{"", effectNumbers[i], sv::test::Filled(100, 1)});
        }
        for (std::size_t i = 0; i < songNames.size(); ++i) {
            songs.push_back(Record{songNames[i], 0,
                                   songNames[i].starts_with("NOISE")
                                       ? sv::test::Filled(300, 9)
                                       : demo::MakeSong(static_cast<int>(i), false)});
        }
        const QString folder = Scratch(name);
        QDir().mkpath(folder);
        WriteFile(folder.toStdString() + "/WYVERN.SND", sv::test::MakeBsa(effects, false));
        WriteFile(folder.toStdString() + "/MIDI.BSA", sv::test::MakeBsa(songs, true));
        return folder;
    }

private slots:
    void initTestCase() {
        QVERIFY(m_settingsDir.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settingsDir.path());
    }

    void init() {
        QSettings("Merrow Applications", "Sonvault").clear();
        m_scratch = std::make_unique<QTemporaryDir>();
        QVERIFY(m_scratch->isValid());
        m_work = Scratch("work");
        QVERIFY(QDir().mkpath(m_work));
        QVERIFY(QDir::setCurrent(m_work)); // the work folder is the directory at start-up
        m_errors.clear();
        m_chooserTitles.clear();
        m_chooserAnswer.reset();
        sv::Dialogs().showError = [this](QWidget*, const QString& text, const QString& caption) {
            m_errors << caption + '|' + text;
        };
        sv::Dialogs().chooseFolder = [this](QWidget*, const QString& title) {
            m_chooserTitles << title;
            return m_chooserAnswer;
        };
    }

    void cleanup() {
        sv::Dialogs() = sv::QtDialogs();
        QDir::setCurrent(QDir::tempPath());
        m_scratch.reset();
    }

    // The names shown, the record index behind each, and the exact "TAVERN.HMI" rule; a song that
    // does not convert is not played.
    void treeListsRecordsInArchiveOrder() {
        const QString game = MadeFolder(
            "Made", {7, 3, 12}, {"A.HMI", "TAVERN.HMI", "tavern.hmi", "TAVERN.HMI2", "NOISE.HMI"});
        sv::WritePreviousArena2Path(game);
        sv::MainDialog dialog;
        Window w(dialog);
        QCOMPARE(Texts(w.tree->topLevelItem(0)), QStringList({"7", "3", "12"}));
        QCOMPARE(Texts(w.tree->topLevelItem(1)),
                 QStringList({"A.HMI", "tavern.hmi", "TAVERN.HMI2", "NOISE.HMI"}));

        // The third song shown is record 3: the index, not the position, names it.
        w.Select("Songs", 2);
        QCOMPARE(dialog.CurrentKind(), sv::TreeItemKind::Song);
        QCOMPARE(dialog.CurrentItem()->index, 3);
        QCOMPARE(ReadAll(m_work + "/temp.mid").left(4), QByteArray("MThd"));
        w.Select("Effects", 1);
        QCOMPARE(dialog.CurrentKind(), sv::TreeItemKind::Effect);
        QCOMPARE(dialog.CurrentItem()->index, 1);
        QCOMPARE(dialog.CurrentItem()->text, QString("3"));

        w.Select("Songs", 3);
        QCOMPARE(w.Playing(), sv::FileKind::None);
        QVERIFY2(w.player->StatusText().contains("could not be converted"),
                 qPrintable(w.player->StatusText()));
        QVERIFY(!QFile::exists(m_work + "/temp.hmi"));
    }

    // A usable remembered folder fills the tree; otherwise the start is silent, with the first-run
    // look, and a stored value survives while none is written.
    void startUp_data() {
        QTest::addColumn<QString>("damage");
        QTest::newRow("remembered folder") << "none";
        QTest::newRow("nothing remembered") << "";
        QTest::newRow("moved away") << "remove folder";
        QTest::newRow("songs archive gone") << "remove MIDI.BSA";
        QTest::newRow("sound archive gone, no container") << "remove WYVERN.SND";
        QTest::newRow("songs archive damaged") << "truncate MIDI.BSA";
        QTest::newRow("sound archive damaged") << "truncate WYVERN.SND";
    }
    void startUp() {
        QFETCH(QString, damage);
        QString game;
        if (!damage.isEmpty()) {
            game = DemoCopy();
            const QString file = game + '/' + damage.section(' ', 1);
            if (damage == "remove folder") {
                QVERIFY(QDir(game).removeRecursively());
            } else if (damage.startsWith("remove")) {
                QVERIFY(QFile::remove(file));
            } else if (damage.startsWith("truncate")) {
                WriteFile(file.toStdString(), {5, 0});
            }
            sv::WritePreviousArena2Path(game);
        }
        const bool usable = damage == "none";
        sv::MainDialog dialog;
        Window w(dialog);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(w.label->text(),
                 usable ? game : QString("Click here to set your Arena2 folder..."));
        QVERIFY(
            Shows(w.folderPicture, usable ? ":/pictures/folder-music.svg" : ":/pictures/bulb.svg"));
        QCOMPARE(w.exportPicture->isVisible(), usable);
        QVERIFY(!w.progress->isVisible());
        QVERIFY(m_errors.isEmpty());
        QCOMPARE(StoredSetting().isValid(), !game.isNull());
        QCOMPARE(StoredSetting().toString(), game);
        QCOMPARE(dialog.WorkFolder(), QDir::toNativeSeparators(m_work).toStdString());
        QVERIFY(WorkFiles().isEmpty()); // nothing rebuilt, nothing played yet
        if (!usable) {
            QCOMPARE(w.tree->topLevelItemCount(), 0);
            QCOMPARE(dialog.CurrentItem(), nullptr);
            return;
        }
        QCOMPARE(Texts(w.tree->invisibleRootItem()), QStringList({"Effects", "Songs"}));
        // Names and order are checked on hand-made archives below; the demo hides one song.
        QCOMPARE(w.tree->topLevelItem(0)->childCount(), int(demo::EffectNumbers(false).size()));
        QCOMPARE(w.tree->topLevelItem(1)->childCount(), int(demo::SongNames(false).size()) - 1);
    }

    // Each selection writes its kind's file into the work folder and hands it to the player;
    // the stored record bytes never stay behind under ".hmi" or ".raw". The files' contents and
    // the game folder's are checked by xvfb_session.sh.
    void selectionPlaysFromTheWorkFolder() {
        sv::WritePreviousArena2Path(DemoCopy());
        sv::MainDialog dialog;
        Window w(dialog);

        w.Select("Songs", 0);
        QCOMPARE(WorkFiles(), QStringList({"temp.mid"}));
        QCOMPARE(w.Playing(), sv::FileKind::Midi);

        w.Select("Effects", 0);
        QCOMPARE(WorkFiles(), QStringList({"temp.mid", "temp.wav"}));
        QCOMPARE(w.Playing(), sv::FileKind::Wav);
        QCOMPARE(w.player->Engine().State(), sv::PlayState::Playing);

        // A root: current item and kind change, playback goes on with its file.
        const QByteArray wav = ReadAll(m_work + "/temp.wav");
        w.Select("Songs");
        QCOMPARE(dialog.CurrentKind(), sv::TreeItemKind::Folder);
        QCOMPARE(dialog.CurrentItem()->text, QString("Songs"));
        QCOMPARE(w.Playing(), sv::FileKind::Wav);
        QCOMPARE(ReadAll(m_work + "/temp.wav"), wav);
        // Single expand: the selected root opens, the other closes.
        QVERIFY(w.tree->topLevelItem(1)->isExpanded());
        QVERIFY(!w.tree->topLevelItem(0)->isExpanded());
        w.Select("Effects");
        QVERIFY(w.tree->topLevelItem(0)->isExpanded());
        QVERIFY(!w.tree->topLevelItem(1)->isExpanded());
    }

    void folderDialogOpenCancelAndFailure() {
        const QString first = DemoCopy("First");
        const QString second = MadeFolder("Second", {1}, {"ONE.HMI"});
        sv::MainDialog dialog;
        Window w(dialog);

        // Open: the tree fills, the folder is remembered exactly as typed.
        const QString typed = second + '/';
        QString shown = "unset";
        AnswerFolderDialog(typed, true, &shown);
        QTest::mouseClick(w.label, Qt::LeftButton);
        QCOMPARE(shown, QString()); // nothing remembered yet
        QCOMPARE(StoredSetting().toString(), typed);
        QCOMPARE(w.label->text(), typed);
        QCOMPARE(Texts(w.tree->topLevelItem(1)), QStringList({"ONE.HMI"}));
        QVERIFY(!w.exportPicture->isHidden());

        // Cancel after editing: nothing changes, and the next time shows the stored folder.
        AnswerFolderDialog(first, false, &shown);
        QTest::mouseClick(w.folderPicture, Qt::LeftButton);
        QCOMPARE(shown, typed);
        QCOMPARE(StoredSetting().toString(), typed);

        // Failures: one error box each; the tree, the label and the setting stay.
        for (const QString& bad : {Scratch("nowhere"), QString()}) {
            m_errors.clear();
            AnswerFolderDialog(bad, true, &shown);
            QTest::mouseClick(w.label, Qt::LeftButton);
            QCOMPARE(shown, typed);
            QCOMPARE(m_errors, QStringList({kOpenFailed}));
            QCOMPARE(StoredSetting().toString(), typed);
            QCOMPARE(Texts(w.tree->topLevelItem(1)), QStringList({"ONE.HMI"}));
        }

        // A second good open clears the old listing, the player's file and the selection.
        w.Select("Songs", 0);
        QCOMPARE(w.Playing(), sv::FileKind::Midi);
        AnswerFolderDialog(first, true);
        QTest::mouseClick(w.label, Qt::LeftButton);
        QCOMPARE(dialog.CurrentItem(), nullptr);
        QCOMPARE(w.Playing(), sv::FileKind::None);
        QVERIFY(!Texts(w.tree->topLevelItem(1)).contains("ONE.HMI"));
        QCOMPARE(StoredSetting().toString(), first);
    }

    void browseFillsThePathField() {
        sv::FolderDialog dialog;
        dialog.path = "typed";
        WhenModal<sv::FolderDialog>([this](sv::FolderDialog& d) {
            auto* browse = d.findChild<QPushButton*>("browseButton");
            auto* edit = d.findChild<QLineEdit*>("pathEdit");
            m_chooserAnswer.reset(); // the user cancels the chooser: the field keeps its text
            browse->click();
            QCOMPARE(edit->text(), QString("typed"));
            m_chooserAnswer = QStringLiteral("/games/ARENA2");
            browse->click();
            QCOMPARE(edit->text(), QString("/games/ARENA2"));
            d.findChild<QPushButton*>("openButton")->click();
        });
        QCOMPARE(dialog.exec(), int(QDialog::Accepted));
        QCOMPARE(dialog.path, QString("/games/ARENA2"));
        QCOMPARE(m_chooserTitles, QStringList({"Select Arena2 Folder", "Select Arena2 Folder"}));
    }

    // The rebuild paints the bar as it goes, and a click made meanwhile waits for its end.
    void packedFolderOpensThroughARebuild() {
        const QString packed = DemoCopy("Packed", kPackedDemo);
        QVERIFY(!QFile::exists(packed + "/WYVERN.SND"));
        const auto before = Snapshot(packed);
        sv::MainDialog dialog;
        Window w(dialog);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        RebuildWatch watch(w.progress, w.folderPicture);

        AnswerFolderDialog(packed, true);
        QTest::mouseClick(w.label, Qt::LeftButton);
        QVERIFY(m_errors.isEmpty());
        // Into a folder of the work folder named after the container.
        const QStringList rebuilt = QDir(m_work).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        QCOMPARE(rebuilt.size(), 1);
        QCOMPARE(ReadAll(m_work + "/" + rebuilt[0] + "/WYVERN.SND"),
                 ReadAll(kDemo + "/WYVERN.SND"));
        QCOMPARE(Texts(w.tree->topLevelItem(0)).size(),
                 static_cast<int>(demo::EffectNumbers(false).size()));
        QVERIFY(!w.progress->isVisible());

        QVERIFY2(watch.painted.size() >= 2, "the bar was not painted while it moved");
        QCOMPARE(watch.painted.first(), 0);
        QCOMPARE(watch.painted.last(), w.progress->maximum());
        QVERIFY(watch.pressArrivedWhileBarShown.isEmpty()); // still queued when Open returned
        QTRY_COMPARE(watch.pressArrivedWhileBarShown, QList<bool>({false}));

        QCOMPARE(Snapshot(packed), before);
        QCOMPARE(StoredSetting().toString(), packed);
    }

    // A songs archive that passes the folder check but does not open: the open fails, the tree
    // keeps the old listing, and the player, asked for an old song, says it has nothing rather
    // than replaying the "temp.mid" of an earlier selection.
    void damagedSongsArchiveLeavesThePlayerWithoutAFile() {
        const QString good = DemoCopy("Good");
        const QString bad = DemoCopy("Bad");
        WriteFile(bad.toStdString() + "/MIDI.BSA", {3, 0, 0});
        sv::WritePreviousArena2Path(good);
        sv::MainDialog dialog;
        Window w(dialog);
        w.Select("Songs", 0);
        QCOMPARE(w.Playing(), sv::FileKind::Midi);
        const QByteArray stale = ReadAll(m_work + "/temp.mid");

        AnswerFolderDialog(bad, true);
        QTest::mouseClick(w.label, Qt::LeftButton);
        QCOMPARE(m_errors, QStringList({kOpenFailed}));
        QVERIFY(w.tree->topLevelItem(1)->childCount() > 1);

        w.Select("Songs", 1);
        QCOMPARE(w.Playing(), sv::FileKind::None);
        QVERIFY2(w.player->StatusText().contains("could not be read"),
                 qPrintable(w.player->StatusText()));
        QCOMPARE(ReadAll(m_work + "/temp.mid"), stale); // an older file is kept, not played
        QVERIFY(!QFile::exists(m_work + "/temp.hmi"));

        // The effects still come from the sound archive, which opened.
        w.Select("Effects", 0);
        QCOMPARE(w.Playing(), sv::FileKind::Wav);
        // A later selection takes the sentence away again.
        QVERIFY(!w.player->StatusText().contains("could not be read"));
    }

    // A work folder removed before start-up: playback fails in the player's area, and nothing is
    // written anywhere else.
    void vanishedWorkFolderWritesNothing() {
        const QString game = DemoCopy();
        sv::WritePreviousArena2Path(game);
        const QString gone = Scratch("gone");
        QVERIFY(QDir().mkpath(gone));
        QVERIFY(QDir::setCurrent(gone));
        QVERIFY(QDir(gone).removeRecursively());
        const bool rootHadTemp = QFile::exists("/temp.mid") || QFile::exists("/temp.hmi");
        sv::MainDialog dialog;
        Window w(dialog);
        w.Select("Songs", 0);
        QCOMPARE(w.Playing(), sv::FileKind::None);
        QVERIFY2(w.player->StatusText().contains("could not be extracted"),
                 qPrintable(w.player->StatusText()));
        QCOMPARE(QFile::exists("/temp.mid") || QFile::exists("/temp.hmi"), rootHadTemp);
        QCOMPARE(Snapshot(game).size(), 2);
    }

    // Keypad Enter closes the window as Return does; xvfb_session.sh presses Return and Escape.
    void keypadEnterAccepts() {
        sv::MainDialog dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QTest::keyClick(dialog.Tree(), Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(!dialog.isVisible());
    }

    // One menu each; xvfb_session.sh presses the Menu key.
    void contextMenuOffersTheAboutBox_data() {
        QTest::addColumn<bool>("mouse");
        QTest::newRow("right click") << true;
        QTest::newRow("Shift+F10") << false;
    }
    void contextMenuOffersTheAboutBox() {
        QFETCH(bool, mouse);
        sv::MainDialog dialog;
        Window w(dialog);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QStringList seen;
        int menus = 0;
        auto* poll = new QTimer(&dialog);
        connect(poll, &QTimer::timeout, [&] {
            if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
                ++menus;
                for (QAction* action : menu->actions()) {
                    seen << action->text();
                }
                menu->close();
            }
        });
        poll->start(5);
        if (mouse) {
            QTest::mouseClick(dialog.windowHandle(), Qt::RightButton, {},
                              w.tree->viewport()->mapTo(&dialog, QPoint(50, 50)));
        } else {
            QTest::keyClick(w.tree, Qt::Key_F10, Qt::ShiftModifier);
        }
        QTRY_COMPARE(seen, QStringList({"&About Sonvault..."}));
        QTest::qWait(50);
        QCOMPARE(menus, 1);
    }
};

QTEST_MAIN(MainDialogTest)
#include "MainDialogTest.moc"
