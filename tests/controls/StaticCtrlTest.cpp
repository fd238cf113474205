// The window services: links handed to the desktop, and the static control's click report.
#include "controls/StaticCtrl.h"

#include "controls/ShellOpen.h"

#include <QApplication>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>

namespace sv::test {

class StaticCtrlTest : public QObject {
    Q_OBJECT

private slots:
    void linkUrlReadsTextsAsTheShellWould() {
        const std::pair<const char*, QUrl> cases[] = {
            {"https://sonvault.example.org/a?b=c", QUrl("https://sonvault.example.org/a?b=c")},
            {"mailto:someone@example.org", QUrl("mailto:someone@example.org")},
            {"  www.example.org ", QUrl("http://www.example.org")},
            {"/tmp/some folder/x.mid", QUrl::fromLocalFile("/tmp/some folder/x.mid")},
            {"", QUrl()},
            {"   ", QUrl()},
        };
        for (const auto& [text, url] : cases)
            QCOMPARE(sv::LinkUrl(text), url);
    }

    void openLinkGoesThroughTheReplaceableOpener() {
        QList<QUrl> asked;
        sv::LinkOpener previous = sv::SetLinkOpener([&asked](const QUrl& url) {
            asked.append(url);
            return url.host() != "refused.example";
        });
        QVERIFY(sv::OpenLink("https://a.example/"));
        QVERIFY(!sv::OpenLink("https://refused.example/"));
        QVERIFY(!sv::OpenLink("")); // nothing to open: the opener is not asked
        sv::SetLinkOpener(std::move(previous));
        QCOMPARE(asked,
                 QList<QUrl>({QUrl("https://a.example/"), QUrl("https://refused.example/")}));
    }

    void staticTakesEveryPressAndReportsLeftOnesWhenNotifying() {
        sv::StaticCtrl label;
        QSignalSpy clicks(&label, &sv::StaticCtrl::clicked);
        for (bool notify : {false, true})
            for (Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton}) {
                label.setNotifyOnClick(notify);
                QMouseEvent press(QEvent::MouseButtonPress, QPointF(1, 1), QPointF(1, 1), button,
                                  button, Qt::NoModifier);
                QApplication::sendEvent(&label, &press);
                QVERIFY(press.isAccepted()); // so the parent never sees a press of its own
            }
        QCOMPARE(clicks.count(), 1);
    }
};

} // namespace sv::test

QTEST_MAIN(sv::test::StaticCtrlTest)
#include "StaticCtrlTest.moc"
