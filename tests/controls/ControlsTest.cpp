// The About box as a person uses it: its links open their addresses, OK and Escape end it. The
// main window's path label, which passes its click on, is the window test's.
#include "controls/AboutDialog.h"
#include "controls/LabelCtrl.h"
#include "controls/ShellOpen.h"

#include <QPushButton>
#include <QTest>

namespace sv::test {

namespace {

// Collects what would have gone to the desktop.
struct OpenedLinks {
    QStringList urls;
    LinkOpener previous = SetLinkOpener([this](const QUrl& url) {
        urls.append(url.toString());
        return true;
    });
    ~OpenedLinks() { SetLinkOpener(std::move(previous)); }
};

} // namespace

class ControlsTest : public QObject {
    Q_OBJECT

private slots:
    // The links open their addresses and leave the box up; OK and Escape end it.
    void aboutBoxLinksAndEndings() {
        OpenedLinks opened;
        for (const bool escape : {false, true}) {
            AboutDialog dialog;
            dialog.show();
            QVERIFY(QTest::qWaitForWindowExposed(&dialog));
            QTest::mousePress(escape ? &dialog.mailLink() : &dialog.webLink(), Qt::LeftButton);
            QVERIFY(dialog.isVisible());
            if (escape)
                QTest::keyClick(&dialog, Qt::Key_Escape);
            else
                QTest::mouseClick(dialog.findChild<QPushButton*>("okButton"), Qt::LeftButton);
            QCOMPARE(dialog.result(), int(escape ? QDialog::Rejected : QDialog::Accepted));
            QVERIFY(!dialog.isVisible());
        }
        QCOMPARE(opened.urls, QStringList({QString(AboutDialog::kWebAddress),
                                           QString("mailto:") + AboutDialog::kMailAddress}));
    }
};

} // namespace sv::test

QTEST_MAIN(sv::test::ControlsTest)
#include "ControlsTest.moc"
