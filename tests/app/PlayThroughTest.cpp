// The main window's ways from one entry to the next, offscreen: the play modes at an entry's end,
// the skip buttons and the media keys, a folder from the command line or dropped on the window,
// the entries' lengths in the tree, and the command line itself. The engine stands in for the sound
// card: the test pulls the entry's frames to its end. MPRIS is driven by remote_session.sh.
#include "app/main/CommandLine.h"
#include "app/main/MainDialog.h"
#include "app/main/Settings.h"
#include "app/player/CMediaPlayer.h"
#include "controls/Dialogs.h"

#include <QMimeData>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest>
#include <cmath>
#include <vector>

Q_DECLARE_METATYPE(sv::PlayMode)
Q_DECLARE_METATYPE(sv::CommandLine::Action)

namespace {

const QString kDemo = QStringLiteral(SONVAULT_DEMO_DIR "/Arena2");
const QString kOpenFailed =
    QStringLiteral("Error!|Failed to open Arena2 folder.\nContents may be incomplete or damaged.");
const QString kSetting = QStringLiteral("StartupValues/PreviousArena2Path");
constexpr int kLast = -1;

QTreeWidgetItem* Effect(sv::MainDialog& dialog, int index) {
    QTreeWidgetItem* effects = dialog.Tree()->topLevelItem(0);
    return effects->child(index < 0 ? effects->childCount() + index : index);
}

// Plays the player's piece to its end, and a second longer, as the sound card would.
void PullToEnd(sv::CMediaPlayer& player) {
    sv::PlaybackEngine& engine = player.Engine();
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

bool Drop(sv::MainDialog& dialog, const QString& path) {
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(path)});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&dialog, &enter);
    if (!enter.isAccepted()) {
        return false;
    }
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&dialog, &drop);
    return drop.isAccepted();
}

} // namespace

class PlayThroughTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_settings;
    QTemporaryDir m_work;
    QStringList m_errors;

    QVariant Stored() const { return QSettings("Merrow Applications", "Sonvault").value(kSetting); }

private slots:
    void initTestCase() {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settings.path());
        QVERIFY(QDir::setCurrent(m_work.path()));
    }
    void init() {
        QSettings("Merrow Applications", "Sonvault").clear();
        QSettings("Merrow Applications", "Sonvault Player").clear();
        m_errors.clear();
        sv::Dialogs().showError = [this](QWidget*, const QString& text, const QString& caption) {
            m_errors << caption + '|' + text;
        };
    }
    void cleanup() { sv::Dialogs() = sv::QtDialogs(); }

    // Where the selection is once the entry selected has played to its end.
    void entryEnds_data() {
        QTest::addColumn<sv::PlayMode>("mode");
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("then");
        QTest::addColumn<bool>("playing");
        QTest::newRow("once") << sv::PlayMode::Once << 0 << 0 << false;
        QTest::newRow("repeat") << sv::PlayMode::RepeatOne << 0 << 0 << true;
        QTest::newRow("through") << sv::PlayMode::PlayThrough << 0 << 1 << true;
        QTest::newRow("through, the last") << sv::PlayMode::PlayThrough << kLast << kLast << false;
        QTest::newRow("repeat all, the last") << sv::PlayMode::RepeatAll << kLast << 0 << true;
    }
    void entryEnds() {
        QFETCH(sv::PlayMode, mode);
        QFETCH(int, from);
        QFETCH(int, then);
        QFETCH(bool, playing);
        sv::WritePreviousArena2Path(kDemo);
        sv::MainDialog dialog;
        sv::CMediaPlayer& player = *dialog.Player();
        player.SetMode(mode);
        dialog.Tree()->setCurrentItem(Effect(dialog, from));
        PullToEnd(player); // the last effect is the empty record: it ends at once

        QTRY_COMPARE(dialog.Tree()->currentItem(), Effect(dialog, then));
        QTest::qWait(250); // the player's refresh has run since, and nothing moved on
        QCOMPARE(dialog.Tree()->currentItem(), Effect(dialog, then));
        QCOMPARE(dialog.PlayingItem()->item, Effect(dialog, then));
        QCOMPARE(player.State() == sv::PlayState::Playing, playing);
    }

    // The skip buttons and the media keys move through the folder; a folder selected since
    // the entry started keeps the selection where it is when the entry ends.
    void skipping() {
        sv::WritePreviousArena2Path(kDemo);
        sv::MainDialog dialog;
        sv::CMediaPlayer& player = *dialog.Player();
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
        player.SetMode(sv::PlayMode::RepeatAll);
        QVERIFY(buttons[3]->isEnabled());
        buttons[3]->click();
        QCOMPARE(tree->currentItem(), Effect(dialog, kLast));

        const std::pair<Qt::Key, sv::PlayState> keys[] = {
            {Qt::Key_MediaTogglePlayPause, sv::PlayState::Paused},
            {Qt::Key_MediaPlay, sv::PlayState::Playing},
            {Qt::Key_MediaPause, sv::PlayState::Paused},
            {Qt::Key_MediaStop, sv::PlayState::Stopped}};
        for (const auto& [key, state] : keys) {
            Press(dialog, key);
            QCOMPARE(player.State(), state);
        }

        player.SetMode(sv::PlayMode::PlayThrough);
        tree->setCurrentItem(Effect(dialog, 0));
        tree->setCurrentItem(tree->topLevelItem(1)); // "Songs"; the effect plays on
        PullToEnd(player);
        QTest::qWait(250);
        QCOMPARE(tree->currentItem(), tree->topLevelItem(1));
    }

    // A folder named at start-up, or dropped, opens as the folder dialog opens one.
    void folderFromOutside() {
        sv::WritePreviousArena2Path(kDemo);
        {
            sv::MainDialog dialog(nullptr, m_work.filePath("nowhere"));
            QTRY_COMPARE(m_errors, QStringList{kOpenFailed});
            QCOMPARE(dialog.Tree()->topLevelItemCount(), 2); // the remembered folder instead
            QCOMPARE(Stored().toString(), kDemo);
            QVERIFY(!Drop(dialog, kDemo + "/MIDI.BSA")); // a file is no folder
            QVERIFY(Drop(dialog, m_work.path()));
            QTRY_COMPARE(m_errors.size(), 2);
        }
        QSettings("Merrow Applications", "Sonvault").clear();
        sv::MainDialog dialog(nullptr, kDemo);
        QCOMPARE(dialog.Tree()->topLevelItem(1)->childCount(), 15);
        QCOMPARE(Stored().toString(), kDemo);
        QSettings("Merrow Applications", "Sonvault").clear();
        QVERIFY(Drop(dialog, kDemo));
        QTRY_COMPARE(Stored().toString(), kDemo);
        QCOMPARE(m_errors.size(), 2);
    }

    // The tree's lengths, worked out without playing, are the player's own, for every song and
    // a few effects (the empty record among them).
    void lengthsAreThePlayers() {
        sv::WritePreviousArena2Path(kDemo);
        sv::MainDialog dialog;
        QTreeWidget* tree = dialog.Tree();
        QTreeWidgetItem* songs = tree->topLevelItem(1);
        QTRY_VERIFY(!songs->child(songs->childCount() - 1)->text(1).isEmpty());
        const auto shown = [&dialog](QTreeWidgetItem* item) {
            dialog.Tree()->setCurrentItem(item);
            return item->text(1);
        };
        for (int i = 0; i < songs->childCount(); ++i) {
            const QString length = shown(songs->child(i));
            const qint64 s = dialog.Player()->Duration() / 1000;
            QCOMPARE(length, QStringLiteral("%1:%2").arg(s / 60).arg(s % 60, 2, 10, QChar('0')));
        }
        for (const int i : {0, 1, kLast}) {
            const QString length = shown(Effect(dialog, i));
            QCOMPARE(length, QString::number(dialog.Player()->Duration() / 1000.0, 'f', 1) + " s");
        }
    }

    void commandLine_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<sv::CommandLine::Action>("action");
        QTest::addColumn<QString>("folder");
        using A = sv::CommandLine::Action;
        QTest::newRow("nothing") << QStringList{} << A::Run << "";
        QTest::newRow("a folder") << QStringList{"g"} << A::Run << "g";
        QTest::newRow("after --") << QStringList{"--", "-g"} << A::Run << "-g";
        QTest::newRow("help wins") << QStringList{"-x", "g", "--help"} << A::Help << "";
        QTest::newRow("short help") << QStringList{"-h"} << A::Help << "";
        QTest::newRow("version") << QStringList{"--version"} << A::Version << "";
        QTest::newRow("unknown option") << QStringList{"g", "--x"} << A::Usage << "";
        QTest::newRow("two folders") << QStringList{"g", "h"} << A::Usage << "";
        // Before Qt has taken its options: only ours are judged.
        QTest::newRow("Qt's left") << QStringList{"-platform", "x", "g"} << A::Run << "";
        QTest::newRow("Qt's left, ours") << QStringList{"-style", "--x"} << A::Usage << "";
    }
    void commandLine() {
        QFETCH(QStringList, arguments);
        QFETCH(sv::CommandLine::Action, action);
        QFETCH(QString, folder);
        const sv::CommandLine line =
            sv::ParseCommandLine(arguments, QString(QTest::currentDataTag()).startsWith("Qt"));
        QCOMPARE(line.action, action);
        QCOMPARE(line.folder, folder);
        QCOMPARE(line.error.isEmpty(), action != sv::CommandLine::Action::Usage);
    }

    // A click steps through the four modes; the mode outlives the player, and the old "Repeat"
    // switch is read as repeating the entry.
    void modeCyclesAndIsKept() {
        QSettings("Merrow Applications", "Sonvault Player").setValue("Repeat", true);
        std::unique_ptr<sv::CMediaPlayer> player = std::make_unique<sv::CMediaPlayer>();
        QCOMPARE(player->Mode(), sv::PlayMode::RepeatOne);
        QToolButton* mode = player->findChildren<QToolButton*>().at(2);
        const sv::PlayMode cycle[] = {sv::PlayMode::PlayThrough, sv::PlayMode::RepeatAll,
                                      sv::PlayMode::Once, sv::PlayMode::RepeatOne,
                                      sv::PlayMode::PlayThrough};
        for (const sv::PlayMode expected : cycle) {
            mode->click();
            QCOMPARE(player->Mode(), expected);
            QCOMPARE(mode->isChecked(), expected != sv::PlayMode::Once);
            QCOMPARE(player->Engine().Repeat(), expected == sv::PlayMode::RepeatOne);
        }
        player = std::make_unique<sv::CMediaPlayer>();
        QCOMPARE(player->Mode(), sv::PlayMode::PlayThrough);
    }
};

QTEST_MAIN(PlayThroughTest)
#include "PlayThroughTest.moc"
