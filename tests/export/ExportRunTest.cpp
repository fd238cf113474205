// The export run on a generated game folder, the platform's dialogs answered by the test: the
// files each choice writes, in the form the chosen name asks for, what the progress control is
// told, what the closing message says.
#include "export/dialog/ExportRun.h"

#include "DemoData.h"
#include "ExportSupport.h"
#include "TestSupport.h"

#include <QAbstractButton>
#include <QTimer>
#include <QtTest>

using export_test::DialogStub;
using sv::test::ReadFile;

namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

// Every file below `folder`, relative to it, sorted.
QStringList Listing(const std::string& folder) {
    QStringList names;
    for (const auto& e : std::filesystem::recursive_directory_iterator(sv::ToPath(folder)))
        if (e.is_regular_file())
            names << Q(sv::FromPath(e.path().lexically_relative(sv::ToPath(folder))));
    names.sort();
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

QStringList Files(const QString& folder, bool effects) {
    QStringList files;
    for (std::int32_t number : demo::EffectNumbers(false))
        if (effects)
            files << QString("%1/%2.wav").arg(folder).arg(number);
    for (const std::string& name : demo::SongNames(false))
        if (!effects && name != "TAVERN.HMI")
            files << folder + "/" + Q(name).toLower().replace(".hmi", ".mid");
    files.sort();
    return files;
}

const int kEffects = static_cast<int>(demo::EffectNumbers(false).size());
const int kSongs = static_cast<int>(demo::SongNames(false).size());
const int kTavern = [] {
    const auto names = demo::SongNames(false);
    return static_cast<int>(std::find(names.begin(), names.end(), "TAVERN.HMI") - names.begin());
}();

} // namespace

class ExportRunTest : public QObject {
    Q_OBJECT

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
    }
    void cleanup() {
        // Exporting never touches the game folder.
        QCOMPARE(Listing(m_game), (QStringList{"MIDI.BSA", "WYVERN.SND"}));
        m_data.reset();
        m_dir.reset();
    }

    void singleTrack_data() {
        QTest::addColumn<uint>("kind");
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("file"); // none: nothing written
        QTest::addColumn<QString>("head"); // the file's first bytes, or the error box's text
        QTest::newRow("song") << 4u << "Tune.MID"
                              << "tune.mid"
                              << "MThd";
        QTest::newRow("effect") << 3u << "Boom.RAW"
                                << "boom.wav"
                                << "RIFF";
        QTest::newRow("effect, rendered") << 3u << "Boom.OGG"
                                          << "Boom.OGG"
                                          << "OggS";
        QTest::newRow("save cancelled") << 4u << QString() << QString() << QString();
        QTest::newRow("folder item") << 2u << "x.mid" << QString() << QString();
        QTest::newRow("missing folder")
            << 3u << "absent/x.wav" << QString() << "Cannot write \"OUT/absent/x.wav\".";
        QTest::newRow("unknown form")
            << 4u << "x.mp3" << QString()
            << "\"OUT/x.mp3\" names no form of a song: use .mid, .hmi, .wav, .flac or .ogg.";
    }
    void singleTrack() {
        QFETCH(uint, kind);
        QFETCH(QString, chosen);
        QFETCH(QString, file);
        QFETCH(QString, head);
        DialogStub stub;
        if (!chosen.isEmpty())
            stub.savePath = Q(m_out) + "/" + chosen;
        const int index = 3;
        const QString text = kind == 4 ? Q(demo::SongNames(false)[index]) : QString("33");
        // The bulk fields are filled in too: they must not matter.
        sv::CarryOutExport(nullptr, sv::ExportTarget{kind, index, text},
                           {true, true, Q(m_out), true, Q(m_out)}, *m_data, m_progress);
        const QStringList offer =
            kind == 4 ? QStringList{text.chopped(4), ".mid",
                                    "MIDI Files (*.mid);;Audio Files (*.wav *.flac *.ogg)"}
                      : QStringList{"33", ".wav", "Sounds (*.wav);;Audio Files (*.flac *.ogg)"};
        QCOMPARE(stub.saveAsked, kind == 2 ? QStringList{} : offer);
        QCOMPARE(Listing(m_out), file.isEmpty() ? QStringList{} : QStringList{file});
        // Only a rendering moves the progress control.
        QCOMPARE(m_progress.calls.empty(), head != "OggS");
        const bool failed = file.isEmpty() && !head.isEmpty();
        QCOMPARE(stub.errors.replaceInStrings(Q(m_out), "OUT"),
                 failed ? QStringList{"Export: " + head} : QStringList{});
        if (file.isEmpty())
            return;
        const sv::test::Bytes bytes = ReadFile(m_out + "/" + file.toStdString());
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(bytes.data()), 4), head.toLatin1());
        // The record asked for, not a neighbour.
        const std::string reference = m_dir->File(kind == 4 ? "ref.mid" : "ref.wav");
        QVERIFY(kind == 4 ? m_data->ExtractSong(index, reference, true)
                          : m_data->ExtractEffect(index, reference, true));
        QVERIFY(head == "OggS" || bytes == ReadFile(reference));
    }

    void bulk_data() {
        QTest::addColumn<QString>("effects"); // the folder text; none: box clear
        QTest::addColumn<QString>("songs");
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QStringList>("moves");
        QTest::addColumn<QString>("error");
        const QString none;
        QTest::newRow("both") << "fx"
                              << "music" << Files("fx", true) + Files("music", false)
                              << Moves(kEffects) + Moves(kSongs, kTavern) << none;
        QTest::newRow("neither") << none << none << QStringList{} << QStringList{} << none;
        QTest::newRow("empty folder text")
            << "" << none << QStringList{} << Moves(kEffects)
            << QString("0 files written, %1 files passed over.\nNo folder was given for the first "
                       "one passed over.")
                   .arg(kEffects);
        QTest::newRow("missing folder")
            << "fx"
            << "absent" << Files("fx", true) << Moves(kEffects) + Moves(kSongs, kTavern)
            << QString("%1 files written, %2 files passed over.\nFirst folder that failed: "
                       "\"OUT/absent\"")
                   .arg(kEffects)
                   .arg(kSongs - 1);
    }
    void bulk() {
        QFETCH(QString, effects);
        QFETCH(QString, songs);
        QFETCH(QStringList, files);
        QFETCH(QStringList, moves);
        QFETCH(QString, error);
        DialogStub stub;
        m_dir->Sub("out/fx");
        m_dir->Sub("out/music");
        const auto in = [this](const QString& f) { return f.isEmpty() ? f : Q(m_out) + "/" + f; };
        // A current track does not matter once the bulk export is chosen.
        sv::CarryOutExport(nullptr, sv::ExportTarget{4, 0, "X.HMI"},
                           {false, !effects.isNull(), in(effects), !songs.isNull(), in(songs)},
                           *m_data, m_progress);
        QCOMPARE(Listing(m_out), files);
        QStringList calls;
        for (const std::string& c : m_progress.calls)
            calls << Q(c);
        QCOMPARE(calls, QStringList{"show"} + moves + QStringList{"hide"});
        QCOMPARE(stub.errors.replaceInStrings(Q(m_out), "OUT"),
                 error.isNull() ? QStringList{} : QStringList{"Export: " + error});
    }

    // The whole run with no current item, the dialog cancelled: nothing at all. Its Save is
    // driven for real by tests/app/xvfb_session.sh.
    void cancelledDialogExportsNothing() {
        DialogStub stub;
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
        QVERIFY(Listing(m_out).isEmpty() && m_progress.calls.empty());
    }

private:
    std::unique_ptr<sv::test::ScratchDir> m_dir;
    std::string m_game;
    std::string m_out;
    std::unique_ptr<sv::GameData> m_data;
    sv::test::RecordingProgress m_progress;
};

int RunExportRunTests(int argc, char** argv) {
    ExportRunTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "ExportRunTest.moc"
