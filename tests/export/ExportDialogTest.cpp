// The export dialog as a person uses it: what each opening offers, which controls the boxes
// enable, what browsing does to both path fields, the keyboard's way through it, and how it ends.
#include "ExportSupport.h"
#include "export/dialog/CExportDialog.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

using export_test::DialogStub;
using sv::CExportDialog;

namespace {

// The controls by their template ids.
struct Controls {
    explicit Controls(CExportDialog& d)
        : selected(d.findChild<QRadioButton*>("radioSelected")),
          all(d.findChild<QRadioButton*>("radioAll")),
          allEffects(d.findChild<QCheckBox*>("btnAllEffects")),
          effectsPath(d.findChild<QLineEdit*>("editEffectsPath")),
          browseEffects(d.findChild<QPushButton*>("btnBrowseEffects")),
          allSongs(d.findChild<QCheckBox*>("btnAllSongs")),
          songsPath(d.findChild<QLineEdit*>("editSongsPath")),
          browseSongs(d.findChild<QPushButton*>("btnBrowseSongs")),
          save(d.findChild<QPushButton*>("saveButton")),
          cancel(d.findChild<QPushButton*>("cancelButton")) {}

    // "1" for each of 1013 to 1018 that is enabled, "0" for each that is not, in id order.
    QString Enabled() const {
        QString s;
        for (const QWidget* w :
             {static_cast<QWidget*>(allEffects), static_cast<QWidget*>(effectsPath),
              static_cast<QWidget*>(browseEffects), static_cast<QWidget*>(allSongs),
              static_cast<QWidget*>(songsPath), static_cast<QWidget*>(browseSongs)})
            s += w->isEnabled() ? '1' : '0';
        return s;
    }

    QRadioButton* selected;
    QRadioButton* all;
    QCheckBox* allEffects;
    QLineEdit* effectsPath;
    QPushButton* browseEffects;
    QCheckBox* allSongs;
    QLineEdit* songsPath;
    QPushButton* browseSongs;
    QPushButton* save;
    QPushButton* cancel;
};

void Click(QAbstractButton* button) {
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
}

void Open(CExportDialog& dialog, std::uint32_t kind) {
    dialog.m_nSelectedKind = kind;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
}

} // namespace

class ExportDialogTest : public QObject {
    Q_OBJECT

private slots:
    void template140() {
        CExportDialog dialog;
        QCOMPARE(dialog.windowTitle(), QString("Save"));
        QCOMPARE(dialog.size(), QSize(375, 306));
        const Controls c(dialog);
        QCOMPARE(c.selected->text(), QString("Selected track only"));
        QCOMPARE(c.all->text(), QString("All effects and songs"));
        QCOMPARE(c.allEffects->text(), QString("All effects to path"));
        QCOMPARE(c.allSongs->text(), QString("All songs to path"));
        QCOMPARE(c.browseSongs->text(), QString("Browse..."));
        QCOMPARE(c.save->text(), QString("Save"));
        QVERIFY(c.save->isDefault());
        // Dialog units at 1.5 px across and 1.625 down, rounded.
        QCOMPARE(c.allSongs->geometry(), QRect(21, 197, 180, 16));
        QCOMPARE(c.browseEffects->geometry(), QRect(279, 158, 75, 23));
        QCOMPARE(c.cancel->geometry(), QRect(290, 271, 75, 23));
        // The group boxes must not lie above the controls they frame.
        for (QWidget* w : {static_cast<QWidget*>(c.selected), static_cast<QWidget*>(c.allSongs)})
            QCOMPARE(dialog.childAt(w->geometry().center()), w);
    }

    void openingStates_data() {
        QTest::addColumn<uint>("kind");
        QTest::addColumn<bool>("trackOffered");
        QTest::newRow("effect") << 3u << true;
        QTest::newRow("song") << 4u << true;
        QTest::newRow("root folder") << 2u << false;
        QTest::newRow("no current item") << 0u << false;
        QTest::newRow("unknown kind") << 5u << false;
    }
    void openingStates() {
        QFETCH(uint, kind);
        QFETCH(bool, trackOffered);
        CExportDialog dialog;
        Open(dialog, kind);
        const Controls c(dialog);
        QCOMPARE(c.selected->isEnabled(), trackOffered);
        QCOMPARE(c.selected->isChecked(), trackOffered);
        QCOMPARE(c.all->isChecked(), !trackOffered);
        QCOMPARE(c.Enabled(), trackOffered ? QString("000000") : QString("100100"));
        QVERIFY(!c.allEffects->isChecked() && !c.allSongs->isChecked());
        QVERIFY(c.effectsPath->text().isEmpty() && c.songsPath->text().isEmpty());
    }

    void boxesEnableTheirOwnFieldsOnly() {
        CExportDialog dialog;
        Open(dialog, 4);
        const Controls c(dialog);
        Click(c.all);
        QVERIFY(!c.selected->isChecked());
        QCOMPARE(c.Enabled(), QString("100100"));
        Click(c.allEffects);
        QCOMPARE(c.Enabled(), QString("111100"));
        Click(c.allSongs);
        QCOMPARE(c.Enabled(), QString("111111"));
        Click(c.allEffects);
        QCOMPARE(c.Enabled(), QString("100111"));
        // Back to the track: everything of the bulk export is off, the boxes keep their marks.
        Click(c.selected);
        QVERIFY(!c.all->isChecked());
        QCOMPARE(c.Enabled(), QString("000000"));
        QVERIFY(c.allSongs->isChecked());
        Click(c.all);
        QCOMPARE(c.Enabled(), QString("100111"));
    }

    void browsing() {
        DialogStub stub;
        CExportDialog dialog;
        Open(dialog, 2);
        const Controls c(dialog);
        Click(c.allEffects);
        Click(c.allSongs);

        stub.folder = "/music/fx";
        Click(c.browseEffects);
        QCOMPARE(stub.titles, QStringList{"Select Destination Folder"});
        QCOMPARE(c.effectsPath->text(), QString("/music/fx"));
        QCOMPARE(dialog.m_strEffectsPath, QString("/music/fx"));

        // Typed text survives a click on a box, which takes it into the members...
        QTest::keyClicks(c.songsPath, "/kept");
        Click(c.allEffects);
        Click(c.allEffects);
        // ...but text typed after the last click is put back by the other Browse.
        QTest::keyClicks(c.songsPath, "/lost");
        stub.folder = "/music/songs";
        Click(c.browseEffects);
        QCOMPARE(c.songsPath->text(), QString("/kept"));
        QCOMPARE(c.effectsPath->text(), QString("/music/songs"));

        // A cancelled chooser empties its own field, and puts the other one back too.
        QTest::keyClicks(c.effectsPath, "/lost");
        stub.folder.reset();
        Click(c.browseSongs);
        QCOMPARE(c.songsPath->text(), QString());
        QCOMPARE(c.effectsPath->text(), QString("/music/songs"));
        QCOMPARE(stub.titles.size(), 3);
    }

    void endings_data() {
        QTest::addColumn<uint>("kind");
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<bool>("selectedOnly");
        QTest::newRow("save, track") << 4u << "save" << true << true;
        QTest::newRow("save, nothing checked") << 0u << "save" << true << false;
        QTest::newRow("enter in a path field") << 2u << "enter" << true << false;
        QTest::newRow("cancel") << 3u << "cancel" << false << false;
        QTest::newRow("escape") << 2u << "escape" << false << false;
        QTest::newRow("close") << 2u << "close" << false << false;
    }
    void endings() {
        QFETCH(uint, kind);
        QFETCH(QString, how);
        QFETCH(bool, accepted);
        QFETCH(bool, selectedOnly);
        CExportDialog dialog;
        Open(dialog, kind);
        const Controls c(dialog);
        if (!selectedOnly) {
            Click(c.all);
            Click(c.allSongs);
            Click(c.allSongs); // checked and cleared again: nothing checked
        }
        // Typed without a click after it: only Save takes it over.
        c.effectsPath->setText("/typed");
        if (how == "save")
            Click(c.save);
        else if (how == "enter")
            QTest::keyClick(c.effectsPath, Qt::Key_Return);
        else if (how == "cancel")
            Click(c.cancel);
        else if (how == "escape")
            QTest::keyClick(&dialog, Qt::Key_Escape);
        else
            dialog.close();
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result() == QDialog::Accepted, accepted);
        QCOMPARE(dialog.m_bSelectedOnly, selectedOnly);
        QVERIFY(!dialog.m_bAllEffects && !dialog.m_bAllSongs);
        QCOMPARE(dialog.m_strEffectsPath, accepted ? QString("/typed") : QString());
    }

    // Tab visits the template's order; Space checks a box; the radio pair is one stop.
    void keyboardOnly() {
        CExportDialog dialog;
        Open(dialog, 2);
        dialog.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        const Controls c(dialog);
        c.all->setFocus();
        QStringList visited;
        for (int i = 0; i < 10; ++i) {
            if (QApplication::focusWidget() == c.allEffects ||
                QApplication::focusWidget() == c.allSongs)
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
            visited << QApplication::focusWidget()->objectName();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        QCOMPARE(visited,
                 (QStringList{"radioAll", "btnAllEffects", "editEffectsPath", "btnBrowseEffects",
                              "btnAllSongs", "editSongsPath", "btnBrowseSongs", "saveButton",
                              "cancelButton", "radioAll"}));
        QVERIFY(dialog.m_bAllEffects && dialog.m_bAllSongs);
    }
};

int RunExportDialogTests(int argc, char** argv) {
    ExportDialogTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "ExportDialogTest.moc"
