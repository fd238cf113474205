// The export dialog as a person uses it: what each opening offers, which controls the boxes
// enable, what browsing does to both path fields, how it ends. The keyboard's way through it is
// driven for real by tests/app/xvfb_session.sh.
#include "ExportSupport.h"
#include "export/dialog/CExportDialog.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QtTest>

using export_test::DialogStub;
using sv::CExportDialog;

namespace {

// The dialog, shown for a tree item of `kind`, and its controls by name.
struct Shown {
    explicit Shown(std::uint32_t kind) {
        dialog.m_nSelectedKind = kind;
        dialog.show();
    }
    QAbstractButton* Button(const char* name) { return dialog.findChild<QAbstractButton*>(name); }
    QWidget* Widget(const char* name) { return dialog.findChild<QWidget*>(name); }
    void Click(const char* name) {
        QAbstractButton* b = Button(name);
        QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(6, b->height() / 2));
    }
    QString Text(const char* name) { return dialog.findChild<QLineEdit*>(name)->text(); }
    void Type(const char* name, const QString& text) {
        QTest::keyClicks(dialog.findChild<QLineEdit*>(name), text);
    }
    // One digit per export control, 1013 to 1018: 1 enabled, 0 disabled.
    QString Enabled() {
        QString s;
        for (const char* name : {"btnAllEffects", "editEffectsPath", "btnBrowseEffects",
                                 "btnAllSongs", "editSongsPath", "btnBrowseSongs"})
            s += Widget(name)->isEnabled() ? '1' : '0';
        return s;
    }

    CExportDialog dialog;
};

} // namespace

class ExportDialogTest : public QObject {
    Q_OBJECT

private slots:
    // The group boxes lie beneath the controls they frame, so they never take their clicks.
    void groupBoxesTakeNoClicks() {
        Shown s(2);
        for (const char* name : {"radioSelected", "radioAll", "btnAllEffects", "btnAllSongs"})
            QCOMPARE(s.dialog.childAt(s.Widget(name)->geometry().center()), s.Widget(name));
    }

    void openingStates_data() {
        QTest::addColumn<uint>("kind");
        QTest::addColumn<bool>("trackOffered");
        QTest::newRow("effect") << 3u << true;
        QTest::newRow("song") << 4u << true;
        QTest::newRow("root folder") << 2u << false;
        QTest::newRow("no current item") << 0u << false;
    }
    void openingStates() {
        QFETCH(uint, kind);
        QFETCH(bool, trackOffered);
        Shown s(kind);
        QCOMPARE(s.Button("radioSelected")->isEnabled(), trackOffered);
        QCOMPARE(s.Button("radioSelected")->isChecked(), trackOffered);
        QCOMPARE(s.Button("radioAll")->isChecked(), !trackOffered);
        QCOMPARE(s.Enabled(), trackOffered ? QString("000000") : QString("100100"));
        QVERIFY(!s.Button("btnAllEffects")->isChecked() && !s.Button("btnAllSongs")->isChecked());
        QVERIFY(s.Text("editEffectsPath").isEmpty() && s.Text("editSongsPath").isEmpty());
    }

    void boxesEnableTheirOwnFieldsOnly() {
        Shown s(4);
        const QList<std::pair<const char*, QString>> steps = {
            {"radioAll", "100100"},      {"btnAllEffects", "111100"}, {"btnAllSongs", "111111"},
            {"btnAllEffects", "100111"}, {"radioSelected", "000000"}, {"radioAll", "100111"}};
        for (const auto& [name, enabled] : steps) {
            s.Click(name);
            QCOMPARE(s.Enabled(), enabled);
        }
        QVERIFY(!s.Button("radioSelected")->isChecked());
    }

    void browsing() {
        DialogStub stub;
        Shown s(2);
        s.Click("btnAllEffects");
        s.Click("btnAllSongs");

        stub.folder = "/music/fx";
        s.Click("btnBrowseEffects");
        QCOMPARE(stub.titles, QStringList{"Select Destination Folder"});
        QCOMPARE(s.Text("editEffectsPath"), QString("/music/fx"));
        QCOMPARE(s.dialog.m_strEffectsPath, QString("/music/fx"));

        // Text typed before a click on a box is taken into the members and kept...
        s.Type("editSongsPath", "/kept");
        s.Click("btnAllEffects");
        s.Click("btnAllEffects");
        // ...text typed after it is put back by the other field's Browse.
        s.Type("editSongsPath", "/lost");
        stub.folder = "/music/songs";
        s.Click("btnBrowseEffects");
        QCOMPARE(s.Text("editSongsPath"), QString("/kept"));
        QCOMPARE(s.Text("editEffectsPath"), QString("/music/songs"));

        // A cancelled chooser empties its own field and puts the other one back too.
        s.Type("editEffectsPath", "/lost");
        stub.folder.reset();
        s.Click("btnBrowseSongs");
        QCOMPARE(s.Text("editSongsPath"), QString());
        QCOMPARE(s.Text("editEffectsPath"), QString("/music/songs"));
    }

    void endings_data() {
        QTest::addColumn<uint>("kind");
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("save, track") << 4u << "saveButton" << true;
        QTest::newRow("save, nothing checked") << 0u << "saveButton" << true;
        QTest::newRow("enter in a path field") << 2u << "enter" << true;
        QTest::newRow("cancel") << 3u << "cancelButton" << false;
        QTest::newRow("escape") << 2u << "escape" << false;
    }
    void endings() {
        QFETCH(uint, kind);
        QFETCH(QString, how);
        QFETCH(bool, accepted);
        Shown s(kind);
        const bool track = kind == 3 || kind == 4;
        if (!track) {
            s.Click("btnAllSongs");
            s.Click("btnAllSongs"); // checked and cleared again: nothing checked
        }
        // Typed with no click after it: only Save takes it over.
        s.dialog.findChild<QLineEdit*>("editEffectsPath")->setText("/typed");
        if (how == "enter")
            QTest::keyClick(s.Widget("editEffectsPath"), Qt::Key_Return);
        else if (how == "escape")
            QTest::keyClick(&s.dialog, Qt::Key_Escape);
        else
            s.Click(how.toLatin1().constData());
        QVERIFY(!s.dialog.isVisible());
        QCOMPARE(s.dialog.result() == QDialog::Accepted, accepted);
        QCOMPARE(s.dialog.m_bSelectedOnly, accepted && track);
        QVERIFY(!s.dialog.m_bAllEffects && !s.dialog.m_bAllSongs);
        QCOMPARE(s.dialog.m_strEffectsPath, accepted ? QString("/typed") : QString());
    }
};

int RunExportDialogTests(int argc, char** argv) {
    ExportDialogTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "ExportDialogTest.moc"
