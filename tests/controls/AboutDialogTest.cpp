// The About box (its links' look and what they open, how it ends) and the hot picture.
#include "controls/AboutDialog.h"

#include "app/services/ShellOpen.h"
#include "controls/CHotStatic.h"
#include "controls/LabelCtrl.h"

#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <memory>

class AboutDialogTest : public QObject {
    Q_OBJECT

private slots:
    void showsTemplate100() {
        AboutDialog dialog;
        QCOMPARE(dialog.windowTitle(), QString("About Sonvault"));
        QCOMPARE(dialog.size(), QSize(363, 198)); // 242 x 122 dialog units
        QVERIFY(dialog.minimumSize() == dialog.maximumSize());
        QVERIFY(!dialog.windowIcon().isNull());
        const auto texts = dialog.findChildren<QLabel*>();
        QStringList shown;
        for (const QLabel* label : texts)
            shown << label->text();
        QVERIFY(shown.contains("Sonvault Version 1.0"));
        QVERIFY(shown.contains("Web:") && shown.contains("Email:"));
        auto* ok = dialog.findChild<QPushButton*>("okButton");
        QVERIFY(ok && ok->isDefault() && ok->text() == "OK");
        QCOMPARE(dialog.webLink().controlId(), 1016);
        QCOMPARE(dialog.mailLink().controlId(), 1017);
    }

    void linksAreUnderlinedNavyAndHot() {
        AboutDialog dialog;
        for (LabelCtrl* link : {&dialog.webLink(), &dialog.mailLink()}) {
            QVERIFY(link->font().underline());
            QCOMPARE(link->textColor(), QColor(0, 0, 128));
            QCOMPARE(link->cursor().shape(), Qt::PointingHandCursor);
            QVERIFY(!link->notifiesParent());
        }
        QCOMPARE(dialog.webLink().linkKind(), LinkKind::Web);
        QCOMPARE(dialog.mailLink().linkKind(), LinkKind::Mail);
        QCOMPARE(dialog.webLink().linkTarget(), QString(AboutDialog::kWebAddress));
        QCOMPARE(dialog.mailLink().text(), QString(AboutDialog::kMailAddress));
        // Underlined navy text is what is drawn.
        const QImage image = dialog.webLink().grab().toImage();
        bool navy = false;
        for (int y = 0; y < image.height() && !navy; ++y)
            for (int x = 0; x < image.width() && !navy; ++x)
                navy = QColor(image.pixel(x, y)) == QColor(0, 0, 128);
        QVERIFY(navy);
    }

    void linksOpenTheirAddressesAndTheBoxStaysOpen() {
        QStringList opened;
        services::LinkOpener previous = services::SetLinkOpener([&opened](const QUrl& url) {
            opened << url.toString();
            return true;
        });
        AboutDialog dialog;
        dialog.show();
        QTest::mousePress(&dialog.webLink(), Qt::LeftButton);
        QTest::mousePress(&dialog.mailLink(), Qt::LeftButton);
        services::SetLinkOpener(std::move(previous));
        QCOMPARE(opened, QStringList({QString(AboutDialog::kWebAddress),
                                      "mailto:" + dialog.mailLink().text()}));
        QVERIFY(dialog.isVisible());
    }

    void okAndEscapeEndTheBox() {
        AboutDialog dialog;
        dialog.show();
        QTest::mouseClick(dialog.findChild<QPushButton*>("okButton"), Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(!dialog.isVisible());

        AboutDialog second;
        second.show();
        QVERIFY(QTest::qWaitForWindowExposed(&second));
        QTest::keyClick(&second, Qt::Key_Escape);
        QCOMPARE(second.result(), int(QDialog::Rejected));
        QVERIFY(!second.isVisible());
    }

    void hotStaticShowsItsCursorOnlyWhenSet() {
        QWidget window;
        auto* picture = new CHotStatic(&window);
        QVERIFY(!picture->testAttribute(Qt::WA_SetCursor));
        picture->SetHotCursor(QCursor(Qt::PointingHandCursor));
        QCOMPARE(picture->cursor().shape(), Qt::PointingHandCursor);
        // Ordinary controls beside it keep the usual cursor.
        auto* other = new QLabel(&window);
        QCOMPARE(other->cursor().shape(), Qt::ArrowCursor);
        picture->SetHotCursor(std::nullopt);
        QVERIFY(!picture->testAttribute(Qt::WA_SetCursor));

        // Clicks reach the window when the picture has the notify style.
        QSignalSpy clicks(picture, &CHotStatic::clicked);
        QTest::mousePress(picture, Qt::LeftButton);
        picture->setNotifyOnClick(true);
        QTest::mousePress(picture, Qt::LeftButton);
        QCOMPARE(clicks.count(), 1);
    }
};

std::unique_ptr<QObject> MakeAboutDialogTest() {
    return std::make_unique<AboutDialogTest>();
}

#include "AboutDialogTest.moc"
