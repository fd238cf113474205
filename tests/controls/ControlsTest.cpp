// The controls as a person sees and uses them. A LabelCtrl's pixels (gradient bands, backgrounds,
// flashing, placement by style, palette changes), its font and what a click opens or reports;
// the About box's links and endings.
#include "controls/AboutDialog.h"
#include "controls/LabelCtrl.h"
#include "controls/ShellOpen.h"

#include <QFontInfo>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimerEvent>
#include <functional>

namespace sv::test {

namespace {

const QColor kBlack(0, 0, 0);
const QColor kWhite(255, 255, 255);
const QColor kRed(255, 0, 0);
const QColor kGreen(0, 160, 0);
const QColor kBlue(0, 0, 255);
const QColor kYellow(255, 255, 0);
const QColor kMagenta(255, 0, 255);

QImage Grab(QWidget& widget) {
    return widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

QColor At(const QImage& image, int x, int y) {
    return QColor(image.pixel(x, y));
}

QSet<QPoint> Pixels(const QImage& image, const std::function<bool(QColor)>& is) {
    QSet<QPoint> points;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (is(At(image, x, y)))
                points.insert(QPoint(x, y));
    return points;
}

QSet<QPoint> PixelsOf(const QImage& image, QColor color) {
    return Pixels(image, [color](QColor c) { return c == color; });
}

// The bounding box of what differs from `background`.
QRect Ink(const QImage& image, QColor background) {
    QRect box;
    for (const QPoint& p : Pixels(image, [background](QColor c) { return c != background; }))
        box |= QRect(p, QSize(1, 1));
    return box;
}

// A label inside a host whose face, text colour and font are known; the font is drawn without
// antialiasing, so every text pixel has the text's colour.
struct Hosted {
    QWidget host;
    LabelCtrl* label;

    explicit Hosted(QSize size, QColor face = QColor(200, 200, 200)) {
        QPalette palette = host.palette();
        palette.setColor(QPalette::Window, face);
        palette.setColor(QPalette::WindowText, kBlack);
        host.setPalette(palette);
        host.setAutoFillBackground(true);
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(14);
        font.setStyleStrategy(QFont::NoAntialias);
        host.setFont(font);
        host.resize(size + QSize(20, 20));
        label = new LabelCtrl(&host);
        label->setGeometry(QRect(QPoint(10, 10), size));
    }
};

// Collects what would have gone to the desktop while a test runs.
struct OpenedLinks {
    QStringList urls;
    sv::LinkOpener previous = sv::SetLinkOpener([this](const QUrl& url) {
        urls.append(url.toString());
        return true;
    });
    ~OpenedLinks() { sv::SetLinkOpener(std::move(previous)); }
};

} // namespace

class ControlsTest : public QObject {
    Q_OBJECT

private slots:
    void gradientBandsAndTheirColours() {
        Hosted h(QSize(250, 12));
        h.label->SetBkColor(kBlack, kWhite, true);
        QImage image = Grab(*h.label);
        // Bands of 2 pixels, each (k * 652) / 256; the last one runs from 198 to the edge.
        const int expected[][2] = {{1, 0}, {2, 2}, {101, 127}, {197, 249}, {198, 252}, {249, 252}};
        for (const auto& [x, grey] : expected)
            QCOMPARE(At(image, x, 6), QColor(grey, grey, grey));
        // Each component steps on its own, down for red and up for blue.
        h.label->SetBkColor(QColor(255, 0, 0), QColor(0, 64, 255), true);
        image = Grab(*h.label);
        QCOMPARE(At(image, 2, 5), QColor(252, 0, 2));
        QCOMPARE(At(image, 249, 5), QColor(2, 63, 252));

        // A label narrower than 100 pixels has one band per column.
        h.label->resize(60, 10);
        h.label->SetBkColor(kBlack, kWhite, true);
        image = Grab(*h.label);
        QCOMPARE(At(image, 59, 5).red(), 250); // (59 * 1088) / 256
        for (int x = 1; x < 60; ++x)
            QVERIFY(At(image, x, 5).red() > At(image, x - 1, 5).red());
    }

    void solidDefaultAndTransparentBackgrounds() {
        Hosted h(QSize(80, 24), kMagenta);
        QCOMPARE(At(Grab(*h.label), 20, 10), kMagenta); // the face colour
        h.label->SetBkColor(kRed, kRed, true);          // a gradient drops the solid brush
        QCOMPARE(At(Grab(*h.label), 79, 23), kRed);
        h.label->SetText("Hi").SetTextColor(kBlue).SetBkColor(kYellow);
        QCOMPARE(At(Grab(*h.label), 78, 22), kYellow);

        h.label->SetTransparent(true);
        const QRect area = h.label->geometry();
        const QImage image = Grab(h.host).copy(area);
        QVERIFY(Pixels(image, [](QColor c) { return c != kMagenta && c != kBlue; }).isEmpty());
        QVERIFY(PixelsOf(image, kBlue).size() > 10);
        h.label->SetTransparent(false);
        QCOMPARE(At(Grab(h.host), area.right() - 2, area.bottom() - 2), kYellow);
    }

    void flashingAlternatesOnEveryTick() {
        Hosted h(QSize(60, 24));
        h.label->SetTextColor(kRed).SetText("MM");
        const auto shows = [&h](QColor c) { return !PixelsOf(Grab(*h.label), c).isEmpty(); };
        QVERIFY(shows(kRed));
        // On the default background the off phase draws the text black.
        h.label->FlashText(true);
        QVERIFY(shows(kBlack) && !shows(kRed));
        QTRY_VERIFY_WITH_TIMEOUT(shows(kRed) && !shows(kBlack), 1500);
        QTRY_VERIFY_WITH_TIMEOUT(shows(kBlack), 1500);
        // Stopping through the other operation stops the timer; the text is shown normally.
        h.label->FlashBackground(false);
        QVERIFY(!h.label->isFlashTimerActive() && shows(kRed));

        // On a solid background the text vanishes; any timer's tick toggles the phase.
        h.label->SetBkColor(kBlue).FlashText(true);
        QVERIFY(!shows(kRed));
        QTimerEvent tick(12345);
        QCoreApplication::sendEvent(h.label, &tick);
        QVERIFY(shows(kRed));
        h.label->FlashText(true); // a restart begins at the off phase again
        QVERIFY(!shows(kRed));

        // Background flashing: the off phase shows the face instead of the label's own colour.
        h.label->FlashBackground(true);
        QCOMPARE(At(Grab(*h.label), 58, 22), QColor(200, 200, 200));
        QVERIFY(shows(kRed));
        QCoreApplication::sendEvent(h.label, &tick);
        QCOMPARE(At(Grab(*h.label), 58, 22), kBlue);
    }

    void styleDecidesPlacementAndBreaking() {
        Hosted h(QSize(200, 60));
        h.label->SetBkColor(kWhite).SetTextColor(kBlack);
        const auto ink = [&h] { return Ink(Grab(*h.label), kWhite); };

        // Centre image, one line: centred both ways; with a line feed, centred from the top.
        h.label->setAlignment(Qt::AlignCenter);
        h.label->SetText("Hi");
        QVERIFY(qAbs(ink().left() - (199 - ink().right())) <= 2);
        QVERIFY(qAbs(ink().top() - (59 - ink().bottom())) <= 4);
        h.label->SetText("Hi\nHo");
        QVERIFY(ink().top() < 6);
        // Tabs are not expanded there, but are on a left-aligned label.
        h.label->SetText("a\tb");
        const int narrow = ink().width();
        h.label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        QVERIFY2(ink().width() > narrow + 30, qPrintable(QString::number(narrow)));

        // Left-aligned labels break at words; without word wrap the line is cut at the edge.
        h.label->SetText("alpha beta gamma delta epsilon zeta eta theta");
        const QRect broken = ink();
        h.label->setWordWrap(false);
        QVERIFY(broken.height() > ink().height() + 8 && broken.right() < 190);
        QVERIFY(ink().height() < 20 && ink().right() >= 195);
    }

    void paletteChangeRefreshesTheFaceButNotTheText() {
        Hosted h(QSize(40, 20));
        Hosted solid(QSize(40, 20));
        h.label->SetTextColor(kRed);
        solid.label->SetBkColor(kYellow);
        QPalette palette = h.host.palette();
        palette.setColor(QPalette::Window, kGreen);
        palette.setColor(QPalette::WindowText, kBlue);
        h.host.setPalette(palette);
        solid.host.setPalette(palette);
        QCOMPARE(At(Grab(*h.label), 38, 18), kGreen);
        QCOMPARE(h.label->textColor(), kRed);
        QCOMPARE(At(Grab(*solid.label), 38, 18), kYellow);
    }

    void fontStartsAsTheDialogsAndFollowsItsSetters() {
        QWidget dialog;
        QFont font("DejaVu Serif");
        font.setPixelSize(20);
        font.setWeight(QFont::Black);
        font.setItalic(true);
        dialog.setFont(font);
        LabelCtrl label(&dialog);
        QCOMPARE(label.logFont().faceName, QString("DejaVu Serif"));
        QCOMPARE(label.logFont().height, 20);
        QCOMPARE(label.logFont().weight, 900);
        QVERIFY(label.logFont().italic);
        label.SetFontBold(false); // whatever weight the bound font had
        QCOMPARE(label.font().weight(), QFont::Normal);

        Hosted h(QSize(250, 30));
        h.label->SetBkColor(kWhite).SetTextColor(kBlack).SetText("Tarnholm");
        const int plain = Ink(Grab(*h.label), kWhite).bottom();
        h.label->SetFontUnderline(true); // drawn below the baseline
        QVERIFY(Ink(Grab(*h.label), kWhite).bottom() > plain);
        h.label->SetFontName("DejaVu Sans Mono").SetFontItalic(true).SetFontBold(true);
        h.label->SetFontSize(9);
        QCOMPARE(h.label->logFont().height, 12); // 9 points at 96 dpi
        const QFont drawn = h.label->font();
        QCOMPARE(drawn.pixelSize(), 12);
        QCOMPARE(drawn.weight(), QFont::Bold);
        QVERIFY(drawn.italic() && drawn.underline());
        QCOMPARE(QFontInfo(drawn).family(), QString("DejaVu Sans Mono"));

        // A face name is cut at 31 characters, through either setter.
        h.label->SetFontName(QString(40, QChar('x')));
        QCOMPARE(h.label->logFont().faceName.size(), 31);
        LogFont whole = h.label->logFont();
        whole.faceName = QString(35, QChar('y'));
        whole.weight = 300;
        whole.strikeOut = true;
        h.label->SetLogFont(whole);
        QCOMPARE(h.label->logFont().faceName, QString(31, QChar('y')));
        QCOMPARE(h.label->font().weight(), QFont::Light);
        QVERIFY(h.label->font().strikeOut());
    }

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
            Hosted h(QSize(250, 30));
            h.label->setControlId(1016);
            h.label->SetText("sonvault.example.org").SetLinkTarget(c.target);
            if (c.kind == Mail)
                h.label->SetMailLink(true, c.notify);
            else
                h.label->SetLink(true, c.notify).SetLink(c.kind == Web, c.notify);
            h.label->setNotifyOnClick(h.label->notifyOnClick() || c.styled);
            QSignalSpy clicks(h.label, &LabelCtrl::clicked);
            QSignalSpy notes(h.label, &LabelCtrl::notifyParent);
            QTest::mousePress(h.label, Qt::LeftButton);
            QTest::mousePress(h.label, Qt::RightButton);

            QStringList seen;
            for (const QString& url : opened.urls)
                seen << "opened " + url;
            for (const QList<QVariant>& note : notes) {
                const auto header = note.first().value<NotifyHeader>();
                QCOMPARE(header.from, static_cast<QWidget*>(h.label));
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
