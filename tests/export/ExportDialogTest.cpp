// The export dialog as a person uses it: what each opening offers, which controls the boxes
// enable, how it ends. The keyboard's way through it is driven for real by
// tests/app/xvfb_session.sh.
#include "export/dialog/CExportDialog.h"

#include <QAbstractButton>
#include <QtTest>

using sv::CExportDialog;

namespace {

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

    CExportDialog dialog;
};

} // namespace

class ExportDialogTest : public QObject {
    Q_OBJECT

private slots:
    void openingStates() {
        for (const uint kind : {3u, 4u, 2u, 0u}) {
            const bool track = kind == 3 || kind == 4;
            Shown s(kind);
            QCOMPARE(s.Button("radioSelected")->isEnabled(), track);
            QCOMPARE(s.Button("radioSelected")->isChecked(), track);
            QCOMPARE(s.Enabled(), track ? QString("000000") : QString("100100"));
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

    void endings() {
        const struct {
            uint kind;
            const char* how;
            bool accepted;
        } cases[] = {{4, "saveButton", true}, {2, "enter", true}, {3, "escape", false}};
        for (const auto& c : cases) {
            Shown s(c.kind);
            if (QString(c.how) == "enter")
                QTest::keyClick(s.dialog.findChild<QWidget*>("editEffectsPath"), Qt::Key_Return);
            else if (QString(c.how) == "escape")
                QTest::keyClick(&s.dialog, Qt::Key_Escape);
            else
                s.Click(c.how);
            QCOMPARE(s.dialog.result() == QDialog::Accepted, c.accepted);
            QCOMPARE(s.dialog.m_bSelectedOnly, c.accepted && c.kind == 4);
        }
    }
};

int RunExportDialogTests(int argc, char** argv) {
    ExportDialogTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "ExportDialogTest.moc"
