// The export dialog and its run on a generated game folder, offscreen, the platform's dialogs
// answered by the test. The keyboard's way through the dialog: tests/app/session.sh.
#include "DemoData.h"
#include "TestSupport.h"
#include "controls/Dialogs.h"
#include "export/dialog/CExportDialog.h"
#include "export/dialog/ExportRun.h"

#include <QAbstractButton>
#include <QtTest>

namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

// The names in `folder`, sorted.
QStringList Names(const std::string& folder) {
    QStringList names;
    for (const std::string& name : sv::test::Names(folder))
        names << Q(name);
    return names;
}

// The progress calls of one archive: its range, then a position after each record not skipped.
QStringList Moves(int count, int skipped = -1) {
    QStringList calls{QString("range 0 %1").arg(count)};
    for (int i = 0; i < count; ++i)
        if (i != skipped)
            calls << QString("pos %1").arg(i);
    return calls;
}

const int kEffects = static_cast<int>(demo::EffectNumbers(false).size());
const int kSongs = static_cast<int>(demo::SongNames(false).size());
const int kTavern = [] {
    const auto names = demo::SongNames(false);
    return static_cast<int>(std::find(names.begin(), names.end(), "TAVERN.HMI") - names.begin());
}();

// The dialog, shown for a tree item of `kind`, and its controls by name.
struct Shown {
    explicit Shown(std::uint32_t kind) {
        dialog.m_nSelectedKind = kind;
        dialog.show();
    }
    QAbstractButton* Button(const char* name) { return dialog.findChild<QAbstractButton*>(name); }
    void Click(const char* name) {
        QAbstractButton* b = Button(name);
        QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(6, b->height() / 2));
    }
    // One digit per export control, 1013 to 1018: 1 enabled, 0 disabled.
    QString Enabled() {
        QString s;
        for (const char* name : {"btnAllEffects", "editEffectsPath", "btnBrowseEffects",
                                 "btnAllSongs", "editSongsPath", "btnBrowseSongs"})
            s += dialog.findChild<QWidget*>(name)->isEnabled() ? '1' : '0';
        return s;
    }

    sv::CExportDialog dialog;
};

} // namespace

class ExportTest : public QObject {
    Q_OBJECT

    std::unique_ptr<sv::test::ScratchDir> m_dir;
    std::string m_game, m_out;
    std::unique_ptr<sv::GameData> m_data;
    sv::test::RecordingProgress m_progress;
    std::optional<QString> m_savePath; // the save dialog's answer; nothing is a cancel
    QStringList m_saveAsked;           // proposed name, suffix, filter
    QStringList m_errors;              // "caption: text", the folder written as OUT

private slots:
    void init() {
        m_dir = std::make_unique<sv::test::ScratchDir>();
        m_game = m_dir->Sub("Arena2");
        QVERIFY(demo::WriteDemoFolder(m_game, {}));
        m_data = std::make_unique<sv::GameData>();
        m_data->SetWorkFolder(m_dir->Sub("work"));
        QVERIFY(m_data->Open(m_game));
        m_out = m_dir->Sub("out");
        m_progress.calls.clear();
        m_savePath.reset();
        m_saveAsked.clear();
        m_errors.clear();
        sv::Dialogs().saveFile = [this](QWidget*, const QString& proposed, const QString& suffix,
                                        const QString& filter) {
            m_saveAsked << proposed << suffix << filter;
            return m_savePath;
        };
        sv::Dialogs().showError = [this](QWidget*, const QString& text, const QString& caption) {
            m_errors << QString(caption + ": " + text).replace(Q(m_out), "OUT");
        };
    }
    void cleanup() {
        sv::Dialogs() = sv::QtDialogs();
        // Exporting never touches the game folder.
        QCOMPARE(Names(m_game), (QStringList{"MIDI.BSA", "WYVERN.SND"}));
        m_data.reset();
        m_dir.reset();
    }

    // What each opening offers, and its ending: Save or Enter accept, Escape rejects; only a
    // track's opening ends on the selected track.
    void openingsAndEndings() {
        const std::pair<uint, QString> cases[] = {
            {3, "escape"}, {4, "saveButton"}, {2, "enter"}, {0, "saveButton"}};
        for (const auto& [kind, how] : cases) {
            const bool track = kind == 3 || kind == 4;
            Shown s(kind);
            QCOMPARE(s.Button("radioSelected")->isEnabled(), track);
            QCOMPARE(s.Button("radioSelected")->isChecked(), track);
            QCOMPARE(s.Enabled(), track ? QString("000000") : QString("100100"));
            if (how == "enter")
                QTest::keyClick(s.dialog.findChild<QWidget*>("editEffectsPath"), Qt::Key_Return);
            else if (how == "escape")
                QTest::keyClick(&s.dialog, Qt::Key_Escape);
            else
                s.Click("saveButton");
            QCOMPARE(s.dialog.result() == QDialog::Accepted, how != "escape");
            QCOMPARE(s.dialog.m_bSelectedOnly, how != "escape" && track);
        }
    }

    // The group boxes lie beneath the controls they frame, so they never take their clicks.
    void boxesEnableTheirOwnFieldsOnly() {
        Shown s(4);
        const QList<std::pair<const char*, QString>> steps = {
            {"radioAll", "100100"},      {"btnAllEffects", "111100"}, {"btnAllSongs", "111111"},
            {"btnAllEffects", "100111"}, {"radioSelected", "000000"}, {"radioAll", "100111"}};
        for (const auto& [name, enabled] : steps) {
            s.Click(name);
            QCOMPARE(s.Enabled(), enabled);
        }
    }

    void singleTrack_data() {
        QTest::addColumn<uint>("kind");
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("file"); // none: nothing written
        QTest::addColumn<QString>("head"); // the file's first bytes, or the error box's text
        const QString none;
        QTest::newRow("song") << 4u << QString("Tune.MID") << QString("tune.mid") << "MThd";
        QTest::newRow("effect") << 3u << QString("Boom.RAW") << QString("boom.wav") << "RIFF";
        QTest::newRow("rendered") << 3u << QString("Boom.OGG") << QString("Boom.OGG") << "OggS";
        QTest::newRow("save cancelled") << 4u << none << none << none;
        QTest::newRow("folder item") << 2u << QString("x.mid") << none << none;
        QTest::newRow("missing folder")
            << 3u << QString("absent/x.wav") << none << "Cannot write \"OUT/absent/x.wav\".";
        QTest::newRow("unknown form")
            << 4u << QString("x.mp3") << none
            << "\"OUT/x.mp3\" names no form of a song: use .mid, .hmi, .wav, .flac or .ogg.";
    }
    void singleTrack() {
        QFETCH(uint, kind);
        QFETCH(QString, chosen);
        QFETCH(QString, file);
        QFETCH(QString, head);
        if (!chosen.isEmpty())
            m_savePath = Q(m_out) + "/" + chosen;
        const int index = 3;
        const QString text = kind == 4 ? Q(demo::SongNames(false)[index]) : QString("33");
        // The bulk fields are filled in too: they must not matter.
        sv::CarryOutExport(nullptr, sv::ExportTarget{kind, index, text},
                           {true, true, Q(m_out), true, Q(m_out)}, *m_data, m_progress);
        const QStringList offer =
            kind == 4 ? QStringList{text.chopped(4), ".mid",
                                    "MIDI Files (*.mid);;Audio Files (*.wav *.flac *.ogg)"}
                      : QStringList{"33", ".wav", "Sounds (*.wav);;Audio Files (*.flac *.ogg)"};
        QCOMPARE(m_saveAsked, kind == 2 ? QStringList{} : offer);
        QCOMPARE(Names(m_out), file.isEmpty() ? QStringList{} : QStringList{file});
        // Only a rendering moves the progress control.
        QCOMPARE(m_progress.calls.empty(), head != "OggS");
        const bool failed = file.isEmpty() && !head.isEmpty();
        QCOMPARE(m_errors, failed ? QStringList{"Export: " + head} : QStringList{});
        if (file.isEmpty())
            return;
        const sv::test::Bytes bytes = sv::test::ReadFile(m_out + "/" + file.toStdString());
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(bytes.data()), 4), head.toLatin1());
        // The record asked for, not a neighbour.
        const std::string reference = m_dir->File(kind == 4 ? "ref.mid" : "ref.wav");
        QVERIFY(kind == 4 ? m_data->ExtractSong(index, reference, true)
                          : m_data->ExtractEffect(index, reference, true));
        QVERIFY(head == "OggS" || bytes == sv::test::ReadFile(reference));
    }

    void bulk_data() {
        QTest::addColumn<QString>("effects"); // the folder text; none: box clear
        QTest::addColumn<QString>("songs");
        QTest::addColumn<QString>("written"); // files in each folder; their names: sonvault-cli's
        QTest::addColumn<QStringList>("moves");
        QTest::addColumn<QString>("error");
        const QString none;
        const QStringList nothing;
        QTest::newRow("both") << QString("fx") << QString("music")
                              << QString("%1 %2").arg(kEffects).arg(kSongs - 1)
                              << Moves(kEffects) + Moves(kSongs, kTavern) << none;
        QTest::newRow("neither") << none << none << "0 0" << nothing << none;
        QTest::newRow("empty folder text")
            << QString("") << none << "0 0" << Moves(kEffects)
            << QString("0 files written, %1 files passed over.\nNo folder was given for the first "
                       "one passed over.")
                   .arg(kEffects);
        QTest::newRow("missing folder")
            << QString("fx") << QString("absent") << QString("%1 0").arg(kEffects)
            << Moves(kEffects) + Moves(kSongs, kTavern)
            << QString("%1 files written, %2 files passed over.\nFirst folder that failed: "
                       "\"OUT/absent\"")
                   .arg(kEffects)
                   .arg(kSongs - 1);
    }
    void bulk() {
        QFETCH(QString, effects);
        QFETCH(QString, songs);
        QFETCH(QString, written);
        QFETCH(QStringList, moves);
        QFETCH(QString, error);
        m_dir->Sub("out/fx");
        m_dir->Sub("out/music");
        const auto in = [this](const QString& f) { return f.isEmpty() ? f : Q(m_out) + "/" + f; };
        // A current track does not matter once the bulk export is chosen.
        sv::CarryOutExport(nullptr, sv::ExportTarget{4, 0, "X.HMI"},
                           {false, !effects.isNull(), in(effects), !songs.isNull(), in(songs)},
                           *m_data, m_progress);
        QCOMPARE(Names(m_out), QStringList({"fx", "music"}));
        QCOMPARE(
            QString("%1 %2").arg(Names(m_out + "/fx").size()).arg(Names(m_out + "/music").size()),
            written);
        QStringList calls;
        for (const std::string& c : m_progress.calls)
            calls << Q(c);
        QCOMPARE(calls, QStringList{"show"} + moves + QStringList{"hide"});
        QCOMPARE(m_errors, error.isNull() ? QStringList{} : QStringList{"Export: " + error});
    }

    // The whole run with no current item, the dialog cancelled: nothing at all.
    void cancelledDialogExportsNothing() {
        bool offeredTrack = true;
        QTimer::singleShot(0, [&] {
            QWidget* dialog = QApplication::activeModalWidget();
            QVERIFY(dialog);
            offeredTrack = dialog->findChild<QWidget*>("radioSelected")->isEnabled();
            dialog->findChild<QAbstractButton*>("btnAllSongs")->click();
            dialog->findChild<QAbstractButton*>("cancelButton")->click();
        });
        sv::RunExport(nullptr, std::nullopt, *m_data, m_progress);
        QVERIFY(!offeredTrack);
        QVERIFY(Names(m_out).isEmpty() && m_progress.calls.empty());
    }
};

QTEST_MAIN(ExportTest)
#include "ExportDialogTest.moc"
