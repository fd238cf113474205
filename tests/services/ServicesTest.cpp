// The window services: links handed to the desktop, and the static control's click report.
#include "app/services/ShellOpen.h"
#include "app/services/StaticCtrl.h"

#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>

namespace {

// Counts the presses that reach it, to see whether a child passes them on.
class PressCounter : public QWidget {
public:
    int presses = 0;

protected:
    void mousePressEvent(QMouseEvent*) override { ++presses; }
};

} // namespace

class ServicesTest : public QObject {
    Q_OBJECT

private slots:
    void linkUrlReadsTextsAsTheShellWould() {
        QCOMPARE(services::LinkUrl("https://sonvault.example.org/a?b=c"),
                 QUrl("https://sonvault.example.org/a?b=c"));
        const QUrl mail = services::LinkUrl("mailto:someone@example.org");
        QCOMPARE(mail.scheme(), QString("mailto"));
        QCOMPARE(mail.path(), QString("someone@example.org"));
        QCOMPARE(services::LinkUrl("  www.example.org "), QUrl("http://www.example.org"));
        const QUrl path = services::LinkUrl("/tmp/some folder/x.mid");
        QVERIFY(path.isLocalFile());
        QCOMPARE(path.toLocalFile(), QString("/tmp/some folder/x.mid"));
        QVERIFY(!services::LinkUrl("").isValid());
        QVERIFY(!services::LinkUrl("   ").isValid());
    }

    void openLinkGoesThroughTheReplaceableOpener() {
        QList<QUrl> opened;
        services::LinkOpener previous = services::SetLinkOpener([&opened](const QUrl& url) {
            opened.append(url);
            return true;
        });
        QVERIFY(services::OpenLink("https://a.example/"));
        QVERIFY(!services::OpenLink("")); // nothing to open: the opener is not asked
        QCOMPARE(opened, QList<QUrl>{QUrl("https://a.example/")});

        services::SetLinkOpener([](const QUrl&) { return false; });
        QVERIFY(!services::OpenLink("https://refused.example/"));
        services::SetLinkOpener(std::move(previous));
    }

    void staticReportsLeftClicksOnlyWithTheNotifyStyle() {
        PressCounter parent;
        parent.resize(100, 50);
        auto* label = new services::StaticCtrl(&parent);
        label->setGeometry(10, 10, 60, 20);
        QSignalSpy clicks(label, &services::StaticCtrl::clicked);

        QTest::mousePress(label, Qt::LeftButton);
        QCOMPARE(clicks.count(), 0);
        label->setNotifyOnClick(true);
        QTest::mousePress(label, Qt::LeftButton);
        QTest::mousePress(label, Qt::RightButton);
        QCOMPARE(clicks.count(), 1);
        // The static takes the press; the parent hears of it only through clicked().
        QCOMPARE(parent.presses, 0);
    }
};

QTEST_MAIN(ServicesTest)
#include "ServicesTest.moc"
