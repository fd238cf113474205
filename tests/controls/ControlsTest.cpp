// The controls as a person uses them: what a click on a label opens or reports, by link kind and
// notify flag, and the About box's links and endings.
#include "controls/AboutDialog.h"
#include "controls/LabelCtrl.h"
#include "controls/ShellOpen.h"

#include <QPushButton>
#include <QSignalSpy>
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
    void clickOpensOrReportsByLinkKind() {
        enum Kind { None, Web, Mail };
        struct Case {
            Kind kind;
            bool notify; // the label notifies its owner instead of opening
            bool styled; // the notify style comes from the template
            QString target, expected;
        };
        const Case cases[] = {
            {Web, false, false, "https://a.example/about", "opened https://a.example/about; 1"},
            {Web, false, false, "", "opened http://sonvault.example.org; 1"},
            {Mail, false, false, "https://a.example/", "opened mailto:sonvault.example.org; 1"},
            {Web, true, false, "", "noted 8200 from 1016; 1"},
            {Mail, true, false, "", "noted 8200 from 1016; 1"},
            {None, false, false, "", "0"}, // a link turned off takes its notify style along
            {None, false, true, "", "1"},  // the main window's path label: the click is passed on
        };
        for (const Case& c : cases) {
            OpenedLinks opened;
            LabelCtrl label;
            label.setControlId(1016);
            label.SetText("sonvault.example.org").SetLinkTarget(c.target);
            if (c.kind == Mail)
                label.SetMailLink(true, c.notify);
            else
                label.SetLink(true, c.notify).SetLink(c.kind == Web, c.notify);
            label.setNotifyOnClick(label.notifyOnClick() || c.styled);
            QSignalSpy clicks(&label, &LabelCtrl::clicked);
            QSignalSpy notes(&label, &LabelCtrl::notifyParent);
            QTest::mousePress(&label, Qt::LeftButton);
            QTest::mousePress(&label, Qt::RightButton);

            QStringList seen;
            for (const QString& url : opened.urls)
                seen << "opened " + url;
            for (const QList<QVariant>& note : notes) {
                const auto header = note.first().value<NotifyHeader>();
                QCOMPARE(header.from, static_cast<QWidget*>(&label));
                seen << QString("noted %1 from %2").arg(header.code, 0, 16).arg(header.idFrom);
            }
            seen << QString::number(clicks.count()); // clicks reported to the owner
            QCOMPARE(seen.join("; "), c.expected);
        }
    }

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
