// What a LabelCtrl shows: gradient bands, backgrounds, the 3D copy, rotation, flashing, the
// text's placement by style, the edge and border, and the colours after a palette change.
#include "controls/LabelCtrl.h"

#include "Render.h"

#include <QTest>
#include <QTimerEvent>
#include <memory>

using render::At;
using render::Grab;

namespace {

const QColor kBlack(0, 0, 0);
const QColor kWhite(255, 255, 255);
const QColor kRed(255, 0, 0);
const QColor kGreen(0, 160, 0);
const QColor kBlue(0, 0, 255);
const QColor kYellow(255, 255, 0);
const QColor kMagenta(255, 0, 255);

// A label inside a host widget whose background and text colours are known.
struct Hosted {
    QWidget host;
    LabelCtrl* label;

    explicit Hosted(QSize size, QColor face = QColor(200, 200, 200)) {
        QPalette palette = host.palette();
        palette.setColor(QPalette::Window, face);
        palette.setColor(QPalette::WindowText, kBlack);
        host.setPalette(palette);
        host.setAutoFillBackground(true);
        host.setFont(render::Crisp(14));
        host.resize(size + QSize(20, 20));
        label = new LabelCtrl(&host);
        label->setGeometry(QRect(QPoint(10, 10), size));
    }
};

// The grey level of each column of a gradient, read from the middle row.
QList<int> Columns(const QImage& image) {
    QList<int> values;
    for (int x = 0; x < image.width(); ++x)
        values.append(At(image, x, image.height() / 2).red());
    return values;
}

// The points of `points` moved by (d, d) that stay inside `bounds`.
QSet<QPoint> Shifted(const QSet<QPoint>& points, int d, const QRect& bounds) {
    QSet<QPoint> moved;
    for (const QPoint& p : points)
        if (bounds.contains(p + QPoint(d, d)))
            moved.insert(p + QPoint(d, d));
    return moved;
}

} // namespace

class LabelCtrlTest : public QObject {
    Q_OBJECT

private slots:
    void gradientOf250PixelsHas100BandsEndingAt252() {
        Hosted h(QSize(250, 10));
        h.label->SetBkColor(kBlack, kWhite, true);
        const QList<int> columns = Columns(Grab(*h.label));
        // Bands of 2 pixels, each (k * 652) / 256; the last one runs from 198 to the edge.
        QCOMPARE(columns[0], 0);
        QCOMPARE(columns[1], 0);
        QCOMPARE(columns[2], 2);
        QCOMPARE(columns[3], 2);
        QCOMPARE(columns[100], 127);
        QCOMPARE(columns[101], 127);
        QCOMPARE(columns[197], 249);
        for (int x = 198; x < 250; ++x)
            QCOMPARE(columns[x], 252);
        int bands = 1;
        for (int x = 1; x < 250; ++x)
            bands += columns[x] != columns[x - 1];
        QCOMPARE(bands, 100);
    }

    void gradientFillsWholeColumnsInEveryComponent() {
        Hosted h(QSize(250, 12));
        h.label->SetBkColor(kWhite, kBlack, true);
        QImage image = Grab(*h.label);
        QCOMPARE(At(image, 100, 0), QColor(127, 127, 127));
        QCOMPARE(At(image, 249, 11), QColor(2, 2, 2)); // white to black ends at 2, not 0

        // Each component steps on its own, down for red and up for blue.
        h.label->SetBkColor(QColor(255, 0, 0), QColor(0, 64, 255), true);
        image = Grab(*h.label);
        QCOMPARE(At(image, 0, 5), QColor(255, 0, 0));
        QCOMPARE(At(image, 2, 5), QColor(252, 0, 2));
        QCOMPARE(At(image, 249, 5), QColor(2, 63, 252));
    }

    void narrowGradientHasOneBandPerColumn() {
        Hosted h(QSize(60, 10));
        h.label->SetBkColor(kBlack, kWhite, true);
        const QList<int> columns = Columns(Grab(*h.label));
        QCOMPARE(columns.first(), 0);
        QCOMPARE(columns.last(), 250); // (59 * 1088) / 256
        for (int x = 1; x < 60; ++x)
            QVERIFY2(columns[x] > columns[x - 1], qPrintable(QString::number(x)));
    }

    void solidAndDefaultBackgrounds() {
        Hosted h(QSize(40, 20), QColor(10, 120, 200));
        QCOMPARE(At(Grab(*h.label), 20, 10), QColor(10, 120, 200)); // the face colour
        h.label->SetBkColor(kYellow);
        QCOMPARE(At(Grab(*h.label), 20, 10), kYellow);
        // Switching to a gradient drops the solid brush.
        h.label->SetBkColor(kRed, kRed, true);
        QCOMPARE(At(Grab(*h.label), 39, 19), kRed);
    }

    void transparentLabelLeavesTheParentsPixels() {
        Hosted h(QSize(80, 24), kMagenta);
        h.label->SetText("Hi").SetTextColor(kBlue).SetBkColor(kYellow);
        h.label->SetTransparent(true);
        QImage image = Grab(h.host);
        const QRect area = h.label->geometry();
        QCOMPARE(At(image, area.right() - 2, area.bottom() - 2), kMagenta);
        int blue = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x) {
                const QColor c = At(image, x, y);
                QVERIFY(c == kMagenta || c == kBlue);
                blue += c == kBlue;
            }
        QVERIFY(blue > 10);

        h.label->SetTransparent(false);
        image = Grab(h.host);
        QCOMPARE(At(image, area.right() - 2, area.bottom() - 2), kYellow);
    }

    void secondCopyIsOffsetInEitherDirectionAndOnTop() {
        Hosted h(QSize(120, 40));
        h.label->SetBkColor(kWhite).SetTextColor(kRed).Set3DColor(kGreen);
        h.label->setAlignment(Qt::AlignCenter);
        h.label->SetText("Hg");
        const QRect bounds(0, 0, 120, 40);
        const QSet<QPoint> plain = render::PixelsOf(Grab(*h.label), kRed);
        QVERIFY(plain.size() > 20);

        for (int d : {1, -1}) {
            h.label->SetText3D(true, d == 1);
            const QImage image = Grab(*h.label);
            const QSet<QPoint> copy = render::PixelsOf(image, kGreen);
            QCOMPARE(copy, Shifted(plain, d, bounds));
            QCOMPARE(render::PixelsOf(image, kRed), QSet<QPoint>(plain).subtract(copy));
        }
        h.label->SetText3D(false, true);
        QVERIFY(render::PixelsOf(Grab(*h.label), kGreen).isEmpty());
    }

    void rotatedTextRunsUpFromTheCentre() {
        Hosted h(QSize(100, 100));
        h.label->SetBkColor(kWhite).SetTextColor(kBlack).SetText("Rotated");
        h.label->SetRotation(90, true);
        QCOMPARE(h.label->logFont().escapement, 900);
        QCOMPARE(h.label->logFont().orientation, 900);
        const QRect ink = render::Ink(Grab(*h.label), kWhite);
        // Baseline from (50, 50) upward: the glyphs stand to its left, above the centre.
        QVERIFY2(ink.bottom() <= 50 && ink.top() < 20, qPrintable(QString::number(ink.top())));
        QVERIFY(ink.right() <= 54 && ink.left() >= 50 - 16);

        // Without the rotate switch the angle is kept but the text is laid out as usual.
        h.label->SetRotation(90, false);
        const QRect flat = render::Ink(Grab(*h.label), kWhite);
        QVERIFY(flat.top() < 5 && flat.width() > flat.height());
    }

    void flashingTextAlternatesWithBlackOnTheDefaultBackground() {
        Hosted h(QSize(60, 24));
        h.label->setFont(render::Crisp(16, true));
        h.label->SetTextColor(kRed).SetText("MM");
        const auto shows = [&h](QColor c) {
            return !render::PixelsOf(Grab(*h.label), c).isEmpty();
        };
        QVERIFY(shows(kRed));
        h.label->FlashText(true);
        QVERIFY(h.label->isFlashTimerActive());
        QVERIFY(shows(kBlack) && !shows(kRed)); // the phase starts off
        QTRY_VERIFY_WITH_TIMEOUT(shows(kRed), 1500);
        QVERIFY(!shows(kBlack));
        QTRY_VERIFY_WITH_TIMEOUT(shows(kBlack), 1500);

        // Stopping through the other operation stops the timer; the text is shown normally.
        h.label->FlashBackground(false);
        QVERIFY(!h.label->isFlashTimerActive());
        QCOMPARE(h.label->flashMode(), FlashMode::None);
        QVERIFY(shows(kRed));
        QTest::qWait(1100);
        QVERIFY(shows(kRed) && !shows(kBlack));
    }

    void flashPhasesFollowEveryTimerTick() {
        Hosted h(QSize(60, 24));
        h.label->setFont(render::Crisp(16, true));
        h.label->SetBkColor(kBlue).SetTextColor(kRed).SetText("MM");
        const auto shows = [&h](QColor c) {
            return !render::PixelsOf(Grab(*h.label), c).isEmpty();
        };
        h.label->FlashText(true);
        QVERIFY(!shows(kRed));   // vanishes into a solid background
        QTimerEvent tick(12345); // any timer's tick toggles the phase
        QCoreApplication::sendEvent(h.label, &tick);
        QVERIFY(shows(kRed));
        h.label->FlashText(true); // a restart begins at the off phase again
        QVERIFY(!shows(kRed));

        // Background flashing: the off phase shows the face instead of the label's own colour.
        h.label->FlashBackground(true);
        QCOMPARE(h.label->flashMode(), FlashMode::Background);
        QCOMPARE(At(Grab(*h.label), 58, 22), QColor(200, 200, 200));
        QVERIFY(shows(kRed));
        QCoreApplication::sendEvent(h.label, &tick);
        QCOMPARE(At(Grab(*h.label), 58, 22), kBlue);
        h.label->FlashBackground(false);
        QVERIFY(!h.label->isFlashTimerActive());
    }

    void styleDecidesPlacementAndBreaking() {
        Hosted h(QSize(200, 60));
        h.label->SetBkColor(kWhite).SetTextColor(kBlack);

        // Centre image, one line: centred both ways.
        h.label->setAlignment(Qt::AlignCenter);
        h.label->SetText("Hi");
        QRect ink = render::Ink(Grab(*h.label), kWhite);
        QVERIFY(qAbs(ink.left() - (199 - ink.right())) <= 2);
        QVERIFY(qAbs(ink.top() - (59 - ink.bottom())) <= 4);
        // With a line feed: centred across, from the top.
        h.label->SetText("Hi\nHo");
        ink = render::Ink(Grab(*h.label), kWhite);
        QVERIFY(ink.top() < 6);
        QVERIFY(qAbs(ink.left() - (199 - ink.right())) <= 2);
        // Tabs are not expanded there, but are on a left-aligned label.
        h.label->SetText("a\tb");
        const int narrow = render::Ink(Grab(*h.label), kWhite).width();
        h.label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        const int wide = render::Ink(Grab(*h.label), kWhite).width();
        QVERIFY2(wide > narrow + 30, qPrintable(QString("%1 %2").arg(wide).arg(narrow)));

        // Left-aligned labels break at words; left without word wrap keeps one line.
        h.label->SetText("alpha beta gamma delta epsilon zeta eta theta");
        const QRect broken = render::Ink(Grab(*h.label), kWhite);
        h.label->setWordWrap(false);
        const QRect oneLine = render::Ink(Grab(*h.label), kWhite);
        QVERIFY(oneLine.height() < 20);
        QVERIFY(broken.height() > oneLine.height() + 8);
        QVERIFY(broken.right() < 190);   // the line was broken before the edge
        QVERIFY(oneLine.right() >= 195); // cut off at the edge
        // Right alignment breaks words too and keeps to the right edge.
        h.label->setAlignment(Qt::AlignRight | Qt::AlignTop);
        const QRect right = render::Ink(Grab(*h.label), kWhite);
        QVERIFY(right.height() > oneLine.height() + 8 && right.right() >= 195);
    }

    void longTextIsCutOffNotElided() {
        const QString path = "C:\\Games\\Tarnholm\\ARENA2\\MUSIC\\ARCHIVE";
        Hosted narrow(QSize(90, 20));
        Hosted wide(QSize(600, 20));
        for (Hosted* h : {&narrow, &wide})
            h->label->SetBkColor(kWhite).SetTextColor(kBlack).SetText(path);
        // What fits is drawn exactly as in a label wide enough for all of it.
        const QImage cut = Grab(*narrow.label);
        QCOMPARE(cut, Grab(*wide.label).copy(0, 0, 90, 20));
        QVERIFY(render::Ink(cut, kWhite).right() >= 85);
    }

    void borderAndSunkenEdgeFrameTheText() {
        Hosted h(QSize(40, 20));
        QPalette palette = h.label->palette();
        palette.setColor(QPalette::Dark, QColor(90, 90, 90));
        palette.setColor(QPalette::Light, QColor(250, 250, 250));
        palette.setColor(QPalette::WindowText, QColor(1, 2, 3));
        h.label->setPalette(palette);
        h.label->SetBkColor(kYellow);
        h.label->SetSunken(true);
        QImage image = Grab(*h.label);
        QCOMPARE(At(image, 10, 0), QColor(90, 90, 90));
        QCOMPARE(At(image, 0, 10), QColor(90, 90, 90));
        QCOMPARE(At(image, 10, 19), QColor(250, 250, 250));
        QCOMPARE(At(image, 39, 10), QColor(250, 250, 250));
        QCOMPARE(At(image, 1, 1), kYellow);

        h.label->SetBorder(true); // outside the edge
        image = Grab(*h.label);
        QCOMPARE(At(image, 10, 0), QColor(1, 2, 3));
        QCOMPARE(At(image, 39, 19), QColor(1, 2, 3));
        QCOMPARE(At(image, 10, 1), QColor(90, 90, 90));
        QCOMPARE(At(image, 10, 18), QColor(250, 250, 250));
        QCOMPARE(At(image, 2, 2), kYellow);
        QCOMPARE(h.label->contentsRect(), QRect(2, 2, 36, 16));

        h.label->SetSunken(false).SetBorder(false);
        QCOMPARE(At(Grab(*h.label), 0, 0), kYellow);
    }

    void paletteChangeRefreshesTheFaceButNotTheText() {
        Hosted h(QSize(40, 20));
        h.label->SetTextColor(kRed);
        QPalette palette = h.host.palette();
        palette.setColor(QPalette::Window, kGreen);
        palette.setColor(QPalette::WindowText, kBlue);
        h.host.setPalette(palette);
        QCOMPARE(At(Grab(*h.label), 38, 18), kGreen);
        QCOMPARE(h.label->textColor(), kRed);

        Hosted solid(QSize(40, 20));
        solid.label->SetBkColor(kYellow);
        solid.host.setPalette(palette);
        QCOMPARE(At(Grab(*solid.label), 38, 18), kYellow);
    }
};

std::unique_ptr<QObject> MakeLabelCtrlTest() {
    return std::make_unique<LabelCtrlTest>();
}

#include "LabelCtrlTest.moc"
