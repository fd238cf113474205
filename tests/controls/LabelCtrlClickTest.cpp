// A LabelCtrl's fonts, cursor and clicks: which address a link opens, the notification sent
// instead when asked, and the ordinary click that always reaches the owner.
#include "Render.h"
#include "app/services/ShellOpen.h"
#include "controls/LabelCtrl.h"

#include <QFontInfo>
#include <QSignalSpy>
#include <QTest>
#include <memory>

namespace {

// Collects what would have gone to the desktop while a test runs.
class OpenedLinks {
public:
    OpenedLinks() {
        m_previous = services::SetLinkOpener([this](const QUrl& url) {
            urls.append(url.toString());
            return true;
        });
    }
    ~OpenedLinks() { services::SetLinkOpener(std::move(m_previous)); }
    QStringList urls;

private:
    services::LinkOpener m_previous;
};

struct Hosted {
    QWidget host;
    LabelCtrl* label;

    Hosted() {
        host.resize(300, 60);
        label = new LabelCtrl(&host);
        label->setGeometry(10, 10, 250, 30);
    }
};

// Rows of a rendering where text pixels (not `background`) run across most of `width`.
int LongRuns(const QImage& image, QColor background, int width) {
    int rows = 0;
    for (int y = 0; y < image.height(); ++y) {
        int ink = 0;
        for (int x = 0; x < image.width(); ++x)
            ink += QColor(image.pixel(x, y)) != background;
        rows += ink >= width * 8 / 10;
    }
    return rows;
}

} // namespace

class LabelCtrlClickTest : public QObject {
    Q_OBJECT

private slots:
    void startsWithItsDialogsFont() {
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
        QVERIFY(!label.logFont().underline);
        label.SetFontBold(false); // whatever weight the bound font had
        QCOMPARE(label.logFont().weight, 400);
    }

    void fontSettersChangeOnlyTheirPart() {
        Hosted h;
        h.label->SetFontName("DejaVu Sans Mono").SetFontItalic(true).SetFontUnderline(true);
        h.label->SetRotation(30, false).SetFontBold(true);
        h.label->SetFontSize(9);
        const LogFont& lf = h.label->logFont();
        QCOMPARE(lf.height, qRound(9 * h.label->logicalDpiY() / 72.0));
        QCOMPARE(lf.height, 12); // at 96 dpi
        QCOMPARE(lf.width, 0);
        QCOMPARE(lf.faceName, QString("DejaVu Sans Mono"));
        QCOMPARE(lf.weight, 700);
        QVERIFY(lf.italic && lf.underline);
        QCOMPARE(lf.escapement, 300);

        // The font drawn with follows the description.
        const QFont drawn = h.label->font();
        QCOMPARE(drawn.pixelSize(), 12);
        QCOMPARE(drawn.weight(), QFont::Bold);
        QVERIFY(drawn.italic() && drawn.underline());
        QCOMPARE(QFontInfo(drawn).family(), QString("DejaVu Sans Mono"));

        h.label->SetFontBold(false).SetFontItalic(false);
        QCOMPARE(h.label->font().weight(), QFont::Normal);
        QCOMPARE(h.label->logFont().weight, 400);
        QVERIFY(!h.label->font().italic());
    }

    void faceNameIsCutAt31Characters() {
        Hosted h;
        h.label->SetFontName(QString(40, QChar('x')));
        QCOMPARE(h.label->logFont().faceName.size(), 31);
        LogFont lf = h.label->logFont();
        lf.faceName = QString(35, QChar('y'));
        lf.weight = 300;
        lf.strikeOut = true;
        h.label->SetLogFont(lf);
        QCOMPARE(h.label->logFont().faceName, QString(31, QChar('y')));
        QCOMPARE(h.label->font().weight(), QFont::Light);
        QVERIFY(h.label->font().strikeOut());
    }

    void underlineAndFaceShowInThePixels() {
        Hosted h;
        h.label->setFont(render::Crisp(16));
        h.label->SetBkColor(QColor(255, 255, 255)).SetTextColor(QColor(0, 0, 0));
        h.label->SetText("Tarnholm Tarnholm");
        const QColor white(255, 255, 255);
        const int plainWidth = render::Ink(render::Grab(*h.label), white).width();
        QCOMPARE(LongRuns(render::Grab(*h.label), white, plainWidth), 0);
        h.label->SetFontUnderline(true);
        QVERIFY(LongRuns(render::Grab(*h.label), white, plainWidth) >= 1);

        // A fixed-pitch face draws "iiii" as wide as "MMMM".
        h.label->SetFontUnderline(false).SetFontName("DejaVu Sans Mono");
        h.label->SetText("iiii");
        const int narrow = render::Ink(render::Grab(*h.label), white).width();
        h.label->SetText("MMMM");
        const int wide = render::Ink(render::Grab(*h.label), white).width();
        QVERIFY(qAbs(wide - narrow) <= 4);
    }

    void webLinkOpensItsTargetOrElseItsText() {
        OpenedLinks opened;
        Hosted h;
        QSignalSpy clicks(h.label, &LabelCtrl::clicked);
        h.label->SetText("sonvault.example.org").SetLink(true, false);
        h.label->SetLinkTarget("https://sonvault.example.org/about");
        QTest::mousePress(h.label, Qt::LeftButton);
        h.label->SetLinkTarget("");
        QTest::mousePress(h.label, Qt::LeftButton);
        QTest::mousePress(h.label, Qt::RightButton);
        QCOMPARE(opened.urls, QStringList({"https://sonvault.example.org/about",
                                           "http://sonvault.example.org"}));
        QCOMPARE(clicks.count(), 2);
    }

    void mailLinkOpensMailtoItsTextWhateverTheTarget() {
        OpenedLinks opened;
        Hosted h;
        h.label->SetText("sonvault@example.org").SetMailLink(true, false);
        h.label->SetLinkTarget("https://elsewhere.example/");
        QCOMPARE(h.label->linkKind(), LinkKind::Mail);
        QTest::mousePress(h.label, Qt::LeftButton);
        QCOMPARE(opened.urls, QStringList{"mailto:sonvault@example.org"});
    }

    void notifyingLabelSendsTheNotificationInstead() {
        OpenedLinks opened;
        Hosted h;
        h.label->setControlId(1016);
        QSignalSpy notes(h.label, &LabelCtrl::notifyParent);
        QSignalSpy clicks(h.label, &LabelCtrl::clicked);
        h.label->SetText("https://sonvault.example.org/").SetLink(true, true);
        QTest::mousePress(h.label, Qt::LeftButton);
        QVERIFY(opened.urls.isEmpty());
        QCOMPARE(notes.count(), 1);
        const auto header = notes.first().first().value<NotifyHeader>();
        QCOMPARE(header.from, static_cast<QWidget*>(h.label));
        QCOMPARE(header.idFrom, 1016);
        QCOMPARE(header.code, std::uint32_t{0x8200});
        QCOMPARE(clicks.count(), 1);

        h.label->SetMailLink(true, true);
        QTest::mousePress(h.label, Qt::LeftButton);
        QVERIFY(opened.urls.isEmpty());
        QCOMPARE(notes.count(), 2);
    }

    void plainLabelPassesItsClickOnOnly() {
        // The main window's path label: no link kind, notify style from its template.
        OpenedLinks opened;
        Hosted h;
        h.label->setNotifyOnClick(true);
        h.label->SetText("C:\\Games\\Tarnholm\\ARENA2");
        QSignalSpy clicks(h.label, &LabelCtrl::clicked);
        QSignalSpy notes(h.label, &LabelCtrl::notifyParent);
        QTest::mousePress(h.label, Qt::LeftButton);
        QCOMPARE(clicks.count(), 1);
        QVERIFY(opened.urls.isEmpty() && notes.isEmpty());

        // Turning a link off removes the notify style as well.
        h.label->SetLink(true, false).SetLink(false, false);
        QTest::mousePress(h.label, Qt::LeftButton);
        QCOMPARE(clicks.count(), 1);
        QVERIFY(opened.urls.isEmpty());
    }

    void linkCursorShowsOverTheLabel() {
        Hosted h;
        QVERIFY(!h.label->testAttribute(Qt::WA_SetCursor));
        h.label->SetLinkCursor(QCursor(Qt::PointingHandCursor));
        QCOMPARE(h.label->cursor().shape(), Qt::PointingHandCursor);
        h.label->SetLinkCursor(std::nullopt);
        QVERIFY(!h.label->testAttribute(Qt::WA_SetCursor));
        QCOMPARE(h.label->cursor().shape(), Qt::ArrowCursor);
    }
};

std::unique_ptr<QObject> MakeLabelCtrlClickTest() {
    return std::make_unique<LabelCtrlClickTest>();
}

#include "LabelCtrlClickTest.moc"
