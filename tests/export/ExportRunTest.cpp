// The export run on a generated game folder, with the platform's dialogs answered by the test:
// which files each choice writes (byte for byte where the bytes are known independently), what
// the progress control is told, what the closing message says, and that names from a hostile
// archive stay inside the folder chosen.
#include "export/dialog/ExportRun.h"

#include "DemoData.h"
#include "ExportSupport.h"
#include "TestSupport.h"
#include "export/dialog/CExportDialog.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QtTest>
#include <fstream>

using export_test::DialogStub;
using testing_support::Bytes;
using testing_support::ReadFile;
using testing_support::RecordingProgress;
using testing_support::ScratchDir;

namespace {

namespace fs = std::filesystem;

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

bool Write(const std::string& path, const Bytes& bytes) {
    std::ofstream out(sv::ToPath(path), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return out.good();
}

// Every file below `folder`, relative to it, sorted.
QStringList Listing(const std::string& folder) {
    QStringList names;
    if (!fs::exists(sv::ToPath(folder)))
        return names;
    for (const auto& e : fs::recursive_directory_iterator(sv::ToPath(folder)))
        if (e.is_regular_file())
            names << Q(sv::FromPath(e.path().lexically_relative(sv::ToPath(folder))));
    names.sort();
    return names;
}

// An 8-bit mono 11025 Hz WAV file of these samples, built from the format's fields.
Bytes Wav(const Bytes& samples) {
    Bytes b = {'R', 'I', 'F', 'F'};
    testing_support::PutLE32(b, static_cast<std::uint32_t>(samples.size() + 36));
    for (char ch : std::string("WAVEfmt "))
        b.push_back(static_cast<std::uint8_t>(ch));
    testing_support::PutLE32(b, 16);
    testing_support::PutLE16(b, 1);
    testing_support::PutLE16(b, 1);
    testing_support::PutLE32(b, 11025);
    testing_support::PutLE32(b, 11025);
    testing_support::PutLE16(b, 1);
    testing_support::PutLE16(b, 8);
    for (char ch : std::string("data"))
        b.push_back(static_cast<std::uint8_t>(ch));
    testing_support::PutLE32(b, static_cast<std::uint32_t>(samples.size()));
    b.insert(b.end(), samples.begin(), samples.end());
    return b;
}

QStringList Calls(const RecordingProgress& progress) {
    QStringList calls;
    for (const std::string& c : progress.calls)
        calls << Q(c);
    return calls;
}

// "range 0 n" and a position after every record but the skipped ones.
QStringList Moves(int count, const QList<int>& skipped = {}) {
    QStringList calls{QString("range 0 %1").arg(count)};
    for (int i = 0; i < count; ++i)
        if (!skipped.contains(i))
            calls << QString("pos %1").arg(i);
    return calls;
}

QStringList EffectFiles() {
    QStringList files;
    for (std::int32_t number : demo::EffectNumbers(false))
        files << QString("%1.wav").arg(number);
    files.sort();
    return files;
}

QStringList SongFiles() {
    QStringList files;
    for (const std::string& name : demo::SongNames(false))
        if (name != "TAVERN.HMI")
            files << Q(name).toLower().replace(".hmi", ".mid");
    files.sort();
    return files;
}

// The single track chosen; the bulk fields, filled in, must not matter.
sv::ExportChoice TrackOnly(const QString& folder) {
    sv::ExportChoice choice;
    choice.selectedOnly = choice.allEffects = choice.allSongs = true;
    choice.effectsPath = choice.songsPath = folder;
    return choice;
}

int TavernIndex() {
    const auto names = demo::SongNames(false);
    return static_cast<int>(std::find(names.begin(), names.end(), "TAVERN.HMI") - names.begin());
}

} // namespace

class ExportRunTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        m_dir = std::make_unique<ScratchDir>();
        m_game = m_dir->Sub("Arena2");
        QVERIFY(demo::WriteDemoFolder(m_game, {}));
        m_data = std::make_unique<GameData>();
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
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QStringList>("asked");
        QTest::addColumn<QString>("file");
        const auto songs = demo::SongNames(false);
        const QString song = Q(songs[3]);
        const QString effect = QString::number(demo::EffectNumbers(false)[5]);
        QTest::newRow("song") << 4u << 3 << "Tune.MID"
                              << QStringList{song.chopped(4), ".mid", "MIDI Files (*.mid)"}
                              << "tune.mid";
        QTest::newRow("effect") << 3u << 5 << "Boom.WAV"
                                << QStringList{effect, ".wav", "Sounds (*.wav)"} << "boom.wav";
        QTest::newRow("save cancelled")
            << 4u << 3 << QString() << QStringList{song.chopped(4), ".mid", "MIDI Files (*.mid)"}
            << QString();
        QTest::newRow("folder item") << 2u << 0 << "x.mid" << QStringList{} << QString();
    }
    void singleTrack() {
        QFETCH(uint, kind);
        QFETCH(int, index);
        QFETCH(QString, chosen);
        QFETCH(QStringList, asked);
        QFETCH(QString, file);
        DialogStub stub;
        if (!chosen.isEmpty())
            stub.savePath = Q(m_out) + "/" + chosen;
        const QString text = kind == 4 ? Q(demo::SongNames(false)[index])
                                       : QString::number(demo::EffectNumbers(false)[index]);
        sv::CarryOutExport(nullptr, sv::ExportTarget{kind, index, text}, TrackOnly(Q(m_out)),
                           *m_data, m_progress);
        QCOMPARE(stub.saveAsked, asked);
        QCOMPARE(Listing(m_out), file.isEmpty() ? QStringList{} : QStringList{file});
        QVERIFY(m_progress.calls.empty());
        QVERIFY(stub.errors.isEmpty());
        if (kind == 3 && !file.isEmpty())
            QVERIFY(ReadFile(m_out + "/" + file.toStdString()) ==
                    Wav(demo::MakeEffect(index, false)));
        if (kind == 4 && !file.isEmpty()) {
            // The same record as any other extraction writes it, not a neighbour's.
            QVERIFY(m_data->ExtractSong(index, m_dir->File("ref.mid"), true));
            QVERIFY(ReadFile(m_out + "/" + file.toStdString()) == ReadFile(m_dir->File("ref.mid")));
        }
    }

    void singleTrackThatCannotBeWrittenIsSaid() {
        DialogStub stub;
        stub.savePath = Q(m_out) + "/absent/x.wav";
        sv::CarryOutExport(nullptr, sv::ExportTarget{3, 0, "1"}, TrackOnly(Q(m_out)), *m_data,
                           m_progress);
        QCOMPARE(stub.errors, QStringList{"Export: Cannot write \"" + *stub.savePath + "\"."});
        QVERIFY(Listing(m_out).isEmpty());
    }

    void bulk_data() {
        QTest::addColumn<bool>("effects");
        QTest::addColumn<QString>("effectsFolder");
        QTest::addColumn<bool>("songs");
        QTest::addColumn<QString>("songsFolder");
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QStringList>("moves");
        QTest::addColumn<QStringList>("errors");
        const int effects = static_cast<int>(demo::EffectNumbers(false).size());
        const int songs = static_cast<int>(demo::SongNames(false).size());
        QStringList both;
        for (const QString& f : EffectFiles())
            both << "fx/" + f;
        for (const QString& f : SongFiles())
            both << "music/" + f;
        QStringList effectsOnly;
        for (const QString& f : EffectFiles())
            effectsOnly << "fx/" + f;
        const QString files = QString("%1 files").arg(songs - 1);

        QTest::newRow("effects only")
            << true << "fx" << false << "music" << effectsOnly << Moves(effects) << QStringList{};
        QTest::newRow("both") << true << "fx" << true << "music" << both
                              << Moves(effects) + Moves(songs, {TavernIndex()}) << QStringList{};
        QTest::newRow("neither") << false << "fx" << false << "music" << QStringList{}
                                 << QStringList{} << QStringList{};
        QTest::newRow("empty effects folder text")
            << true << "" << false << "music" << QStringList{} << Moves(effects)
            << QStringList{QString("Export: 0 files written, %1 files passed over.\nNo folder was "
                                   "given for the first one passed over.")
                               .arg(effects)};
        QTest::newRow("missing songs folder")
            << true << "fx" << true << "absent" << effectsOnly
            << Moves(effects) + Moves(songs, {TavernIndex()})
            << QStringList{QString("Export: %1 files written, %2 passed over.\nFirst folder that "
                                   "failed: \"OUT/absent\"")
                               .arg(effects)
                               .arg(files)};
    }
    void bulk() {
        QFETCH(bool, effects);
        QFETCH(QString, effectsFolder);
        QFETCH(bool, songs);
        QFETCH(QString, songsFolder);
        QFETCH(QStringList, files);
        QFETCH(QStringList, moves);
        QFETCH(QStringList, errors);
        DialogStub stub;
        const QString out = Q(m_out);
        fs::create_directories(sv::ToPath(m_out + "/fx"));
        fs::create_directories(sv::ToPath(m_out + "/music"));
        const auto in = [&](const QString& f) { return f.isEmpty() ? f : out + "/" + f; };
        // A current track does not matter once the bulk export is chosen.
        sv::CarryOutExport(nullptr, sv::ExportTarget{4, 0, "X.HMI"},
                           {false, effects, in(effectsFolder), songs, in(songsFolder)}, *m_data,
                           m_progress);
        QCOMPARE(Listing(m_out), files);
        QCOMPARE(Calls(m_progress), QStringList{"show"} + moves + QStringList{"hide"});
        QCOMPARE(stub.errors.replaceInStrings(out, "OUT"), errors);
        QVERIFY(stub.saveAsked.isEmpty());
        const auto numbers = demo::EffectNumbers(false);
        for (std::size_t i = 0; i < numbers.size() && files.contains("fx/1.wav"); ++i)
            QVERIFY(ReadFile(m_out + "/fx/" + std::to_string(numbers[i]) + ".wav") ==
                    Wav(demo::MakeEffect(static_cast<int>(i), false)));
    }

    // Names that try to leave the folder, or are no names at all, end up inside it.
    void hostileNamesStayInside() {
        using testing_support::Record;
        const Bytes song = demo::MakeSong(0, false);
        QVERIFY(Write(
            m_game + "/WYVERN.SND",
            testing_support::MakeBsa(
                {{"../../UP", 0, {1, 2}}, {"..", 0, {3}}, {"/ABS", 0, {4}}, {"A\\B:C", 0, {}}},
                true)));
        QVERIFY(
            Write(m_game + "/MIDI.BSA",
                  testing_support::MakeBsa({{"../../ESC.HMI", 0, song}, {"..", 0, song}}, true)));
        QVERIFY(m_data->Open(m_game));
        DialogStub stub;
        const std::string fx = m_dir->Sub("out/a/fx");
        const std::string music = m_dir->Sub("out/a/music");
        sv::CarryOutExport(nullptr, std::nullopt, {false, true, Q(fx), true, Q(music)}, *m_data,
                           m_progress);
        QCOMPARE(Listing(m_dir->Path()),
                 (QStringList{"Arena2/MIDI.BSA", "Arena2/WYVERN.SND", "out/a/fx/.._.._up.wav",
                              "out/a/fx/_.wav", "out/a/fx/_abs.wav", "out/a/fx/a_b_c.wav",
                              "out/a/music/.._.._esc.mid", "out/a/music/_"}));
        QVERIFY(ReadFile(fx + "/_abs.wav") == Wav({4}));
        QVERIFY(stub.errors.isEmpty());
        QCOMPARE(Listing(m_dir->Path() + "/work"), QStringList{});
    }

    // The whole run: the dialog answered as a person would, then the export it asked for.
    void throughTheDialog_data() {
        QTest::addColumn<bool>("save");
        QTest::addColumn<int>("written");
        QTest::newRow("save") << true << static_cast<int>(demo::SongNames(false).size()) - 1;
        QTest::newRow("cancel") << false << 0;
    }
    void throughTheDialog() {
        QFETCH(bool, save);
        QFETCH(int, written);
        DialogStub stub;
        stub.folder = Q(m_out);
        bool offeredTrack = true;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<sv::CExportDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            offeredTrack = dialog->findChild<QRadioButton*>("radioSelected")->isEnabled();
            dialog->findChild<QCheckBox*>("btnAllSongs")->click();
            dialog->findChild<QPushButton*>("btnBrowseSongs")->click();
            dialog->findChild<QPushButton*>(save ? "saveButton" : "cancelButton")->click();
        });
        sv::RunExport(nullptr, std::nullopt, *m_data, m_progress);
        QVERIFY(!offeredTrack);
        QCOMPARE(Listing(m_out).size(), written);
        QCOMPARE(m_progress.calls.empty(), !save);
        QVERIFY(stub.errors.isEmpty() && stub.saveAsked.isEmpty());
    }

private:
    std::unique_ptr<ScratchDir> m_dir;
    std::string m_game;
    std::string m_out;
    std::unique_ptr<GameData> m_data;
    RecordingProgress m_progress;
};

int RunExportRunTests(int argc, char** argv) {
    ExportRunTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "ExportRunTest.moc"
