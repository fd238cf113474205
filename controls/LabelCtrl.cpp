// The label's paint, fonts, flashing and clicks. Qt's backing store already double-buffers a
// widget, so the label paints straight into it: an opaque label fills every pixel itself (no
// separate erase, no flicker while flashing), a transparent one leaves the owner's pixels.
#include "controls/LabelCtrl.h"

#include "controls/ShellOpen.h"

#include <QEvent>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QTimerEvent>
#include <algorithm>

namespace sv {

namespace {

constexpr int kFlashTimerMs = 500;
constexpr int kGradientBands = 100;

// Lines as a static text breaks them: only at spaces, so a path or a long word stays whole and
// is cut off at the edge (Qt's own wrapping would also break after a backslash or a colon).
QStringList BreakAtSpaces(const QString& text, const QFontMetrics& metrics, int width, int flags) {
    const int measure = flags & (Qt::TextShowMnemonic | Qt::TextExpandTabs);
    QStringList lines;
    for (QString paragraph : text.split(QLatin1Char('\n'))) {
        if (paragraph.endsWith(QLatin1Char('\r')))
            paragraph.chop(1);
        QString line;
        bool first = true;
        for (const QString& word : paragraph.split(QLatin1Char(' '))) {
            const QString candidate = first ? word : line + QLatin1Char(' ') + word;
            if (first || metrics.size(measure, candidate).width() <= width) {
                line = candidate;
            } else {
                lines.append(line);
                line = word;
            }
            first = false;
        }
        lines.append(line);
    }
    return lines;
}

// Draws `text` into `rect` with the format flags, clipped to the rectangle.
void DrawTextBlock(QPainter& painter, const QRect& rect, int flags, const QString& text) {
    painter.save();
    painter.setClipRect(rect, Qt::IntersectClip);
    if (!(flags & Qt::TextWordWrap)) {
        painter.drawText(rect, flags | Qt::TextDontClip, text);
    } else {
        const QFontMetrics metrics(painter.font());
        const int lineFlags = (flags & ~Qt::TextWordWrap) | Qt::TextDontClip;
        int y = rect.top();
        for (const QString& line : BreakAtSpaces(text, metrics, rect.width(), flags)) {
            if (y >= rect.bottom() + 1)
                break;
            painter.drawText(QRect(rect.left(), y, rect.width(), metrics.height()), lineFlags,
                             line);
            y += metrics.lineSpacing();
        }
    }
    painter.restore();
}

} // namespace

LogFont LogFont::FromQFont(const QFont& font, int dpiY) {
    LogFont lf;
    lf.height = font.pixelSize() > 0 ? font.pixelSize() : qRound(font.pointSizeF() * dpiY / 72.0);
    lf.weight = font.weight();
    lf.italic = font.italic();
    lf.underline = font.underline();
    lf.strikeOut = font.strikeOut();
    if (font.styleStrategy() & QFont::NoAntialias)
        lf.quality = 3;
    else if (font.styleStrategy() & QFont::PreferAntialias)
        lf.quality = 4;
    lf.pitchAndFamily = font.fixedPitch() ? 1 : 0;
    lf.faceName = font.family().left(kMaxFaceName);
    return lf;
}

QFont LogFont::ToQFont() const {
    QFont font;
    if (!faceName.isEmpty())
        font.setFamily(faceName.left(kMaxFaceName));
    if (height > 0)
        font.setPixelSize(height);
    font.setWeight(static_cast<QFont::Weight>(std::clamp(weight > 0 ? weight : 400, 1, 1000)));
    font.setItalic(italic);
    font.setUnderline(underline);
    font.setStrikeOut(strikeOut);
    if (quality == 3)
        font.setStyleStrategy(QFont::NoAntialias);
    else if (quality == 4)
        font.setStyleStrategy(QFont::PreferAntialias);
    switch (pitchAndFamily >> 4) {
    case 1:
        font.setStyleHint(QFont::Serif);
        break;
    case 2:
        font.setStyleHint(QFont::SansSerif);
        break;
    case 3:
        font.setStyleHint(QFont::TypeWriter);
        break;
    case 4:
        font.setStyleHint(QFont::Cursive);
        break;
    case 5:
        font.setStyleHint(QFont::Decorative);
        break;
    default:
        break;
    }
    if ((pitchAndFamily & 3) == 1)
        font.setFixedPitch(true);
    return font;
}

void PaintGradient(QPainter& painter, const QRect& rect, QColor start, QColor end, int bands) {
    const int width = rect.width();
    const int n = std::min(bands, width);
    if (n <= 0)
        return;
    const int d = std::max(n, 1);
    // Components with eight bits of fraction; C++ division truncates toward zero as required.
    int value[3] = {start.red() * 256, start.green() * 256, start.blue() * 256};
    const int step[3] = {(end.red() - start.red()) * 256 / d,
                         (end.green() - start.green()) * 256 / d,
                         (end.blue() - start.blue()) * 256 / d};
    const int bandWidth = width / d;
    const int right = rect.left() + width;
    int x = rect.left();
    for (int i = 0; i < n; ++i) {
        const int x2 = i == n - 1 ? right : x + bandWidth;
        painter.fillRect(QRect(x, rect.top(), x2 - x, rect.height()),
                         QColor(value[0] / 256, value[1] / 256, value[2] / 256));
        x = x2;
        for (int c = 0; c < 3; ++c)
            value[c] += step[c];
    }
}

LabelCtrl::LabelCtrl(QWidget* parent) : StaticCtrl(parent) {
    // A static text's defaults: left-aligned from the top, words broken.
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setWordWrap(true);
    m_crText = palette().color(QPalette::WindowText);
    m_hbrFace = palette().color(QPalette::Window);
    setAttribute(Qt::WA_OpaquePaintEvent, true);
    Bind(font());
}

LabelCtrl::~LabelCtrl() = default;

LabelCtrl& LabelCtrl::SetBkColor(QColor bk, QColor bkEnd, bool gradient) {
    m_crBk = bk;
    m_crBkEnd = bkEnd;
    m_bGradient = gradient;
    m_hbrBk.reset();
    if (!gradient)
        m_hbrBk = bk;
    Redraw();
    return *this;
}

LabelCtrl& LabelCtrl::SetTextColor(QColor color) {
    m_crText = color;
    Redraw();
    return *this;
}

LabelCtrl& LabelCtrl::SetText(const QString& text) {
    setText(text);
    Redraw();
    return *this;
}

LabelCtrl& LabelCtrl::SetFontBold(bool bold) {
    m_lf.weight = bold ? 700 : 400;
    RebuildFont();
    Redraw();
    return *this;
}

LabelCtrl& LabelCtrl::SetFontName(const QString& face, std::uint8_t charSet) {
    m_lf.charSet = charSet;
    m_lf.faceName = face.left(LogFont::kMaxFaceName);
    RebuildFont();
    Redraw();
    return *this;
}

LabelCtrl& LabelCtrl::SetFontUnderline(bool underline) {
    m_lf.underline = underline;
    RebuildFont();
    Redraw();
    return *this;
}

LabelCtrl& LabelCtrl::SetFontItalic(bool italic) {
    m_lf.italic = italic;
    RebuildFont();
    Redraw();
    return *this;
}

LabelCtrl& LabelCtrl::SetFontSize(int points) {
    // What a point-size font of this face measures on the screen: only its height and width
    // are taken, everything else of the description stays.
    m_lf.height = std::max(0, qRound(points * logicalDpiY() / 72.0));
    m_lf.width = 0;
    RebuildFont();
    Redraw();
    return *this;
}

LabelCtrl& LabelCtrl::SetSunken(bool sunken) {
    m_bSunken = sunken;
    UpdateMargins();
    return *this;
}

LabelCtrl& LabelCtrl::SetBorder(bool border) {
    m_bBorder = border;
    UpdateMargins();
    return *this;
}

LabelCtrl& LabelCtrl::SetTransparent(bool transparent) {
    m_bTransparent = transparent;
    setAttribute(Qt::WA_OpaquePaintEvent, !transparent);
    Redraw();
    return *this;
}

LabelCtrl& LabelCtrl::FlashText(bool on) {
    Flash(on ? FlashMode::Text : FlashMode::None);
    return *this;
}

LabelCtrl& LabelCtrl::FlashBackground(bool on) {
    Flash(on ? FlashMode::Background : FlashMode::None);
    return *this;
}

void LabelCtrl::Flash(FlashMode mode) {
    if (m_bTimerSet)
        m_flashTimer.stop();
    if (mode != FlashMode::None) {
        m_bFlashPhase = false;
        m_bTimerSet = true;
        m_flashTimer.start(kFlashTimerMs, this);
    }
    m_nFlashMode = mode;
}

LabelCtrl& LabelCtrl::SetLink(bool on, bool notifyParent) {
    m_nLinkKind = on ? LinkKind::Web : LinkKind::None;
    m_bNotifyParent = notifyParent;
    setNotifyOnClick(on);
    return *this;
}

LabelCtrl& LabelCtrl::SetLinkCursor(std::optional<QCursor> cursor) {
    m_hLinkCursor = std::move(cursor);
    if (m_hLinkCursor)
        setCursor(*m_hLinkCursor);
    else
        unsetCursor();
    return *this;
}

LabelCtrl& LabelCtrl::SetText3D(bool on, bool downRight) {
    m_b3D = on;
    m_b3DDownRight = downRight;
    Redraw();
    return *this;
}

LabelCtrl& LabelCtrl::SetRotation(int degrees, bool rotate) {
    m_lf.escapement = degrees * 10;
    m_lf.orientation = degrees * 10;
    m_bRotate = rotate;
    RebuildFont();
    Redraw();
    return *this;
}

LabelCtrl& LabelCtrl::Set3DColor(QColor color) {
    m_cr3D = color;
    Redraw();
    return *this;
}

LabelCtrl& LabelCtrl::SetLogFont(LogFont font) {
    m_lf = std::move(font);
    m_lf.faceName.truncate(LogFont::kMaxFaceName);
    RebuildFont();
    Redraw();
    return *this;
}

LabelCtrl& LabelCtrl::SetMailLink(bool on, bool notifyParent) {
    m_nLinkKind = on ? LinkKind::Mail : LinkKind::None;
    m_bNotifyParent = notifyParent;
    setNotifyOnClick(on);
    return *this;
}

LabelCtrl& LabelCtrl::SetLinkTarget(const QString& target) {
    m_strLinkTarget = target;
    return *this;
}

void LabelCtrl::Bind(const QFont& font) {
    // A new font from outside replaces the description; the angle is ours, not the font's.
    const int escapement = m_lf.escapement;
    const int orientation = m_lf.orientation;
    const std::uint8_t charSet = m_lf.charSet;
    m_lf = LogFont::FromQFont(font, logicalDpiY());
    m_lf.escapement = escapement;
    m_lf.orientation = orientation;
    m_lf.charSet = charSet;
    RebuildFont();
}

void LabelCtrl::RebuildFont() {
    QFont font = m_lf.ToQFont();
    if (m_lf.width > 0) {
        const int natural = QFontMetrics(font).averageCharWidth();
        if (natural > 0)
            font.setStretch(std::clamp(qRound(100.0 * m_lf.width / natural), 1, 4000));
    }
    m_font = font;
    // Applied to the widget as well, so that its size hint measures what is drawn.
    m_applyingFont = true;
    setFont(m_font);
    m_applyingFont = false;
}

void LabelCtrl::Redraw() {
    // Qt repaints the owner's pixels under a label that is not opaque by itself.
    update();
}

void LabelCtrl::UpdateMargins() {
    const int m = (m_bBorder ? 1 : 0) + (m_bSunken ? 1 : 0);
    setContentsMargins(m, m, m, m);
    update();
}

void LabelCtrl::changeEvent(QEvent* event) {
    switch (event->type()) {
    case QEvent::FontChange:
        if (!m_applyingFont)
            Bind(font());
        break;
    case QEvent::PaletteChange:
    case QEvent::ApplicationPaletteChange:
        // The face follows the system colours; the text colour stays as it was set.
        m_hbrFace = palette().color(QPalette::Window);
        Redraw();
        break;
    default:
        break;
    }
    StaticCtrl::changeEvent(event);
}

void LabelCtrl::timerEvent(QTimerEvent* event) {
    m_bFlashPhase = !m_bFlashPhase;
    Redraw();
    StaticCtrl::timerEvent(event);
}

void LabelCtrl::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        if (!m_bNotifyParent) {
            if (m_nLinkKind == LinkKind::Web)
                OpenLink(m_strLinkTarget.isEmpty() ? text() : m_strLinkTarget);
            else if (m_nLinkKind == LinkKind::Mail)
                OpenLink(QStringLiteral("mailto:") + text());
        } else {
            // The owner may close and delete its window on the notification.
            const QPointer<LabelCtrl> alive(this);
            emit notifyParent(NotifyHeader{this, controlId(), kLabelClickNotify});
            if (!alive)
                return;
        }
    }
    // The static's own handling reports the click when the notify style is on.
    StaticCtrl::mousePressEvent(event);
}

int LabelCtrl::FormatFlags(const QString& text) const {
    const Qt::Alignment align = alignment();
    if ((align & Qt::AlignHCenter) && (align & Qt::AlignVCenter)) {
        if (text.contains(QLatin1Char('\n')))
            return Qt::AlignHCenter | Qt::AlignTop | Qt::TextShowMnemonic;
        return Qt::AlignCenter | Qt::TextSingleLine | Qt::TextShowMnemonic;
    }
    int flags = Qt::AlignTop | Qt::TextShowMnemonic;
    if (align & Qt::AlignHCenter)
        flags |= Qt::AlignHCenter | Qt::TextWordWrap;
    else if (align & Qt::AlignRight)
        flags |= Qt::AlignRight | Qt::TextWordWrap;
    else if (wordWrap())
        flags |= Qt::AlignLeft | Qt::TextWordWrap;
    else
        flags |= Qt::AlignLeft;
    if (text.contains(QLatin1Char('\t')))
        flags |= Qt::TextExpandTabs;
    return flags;
}

void LabelCtrl::PaintFrame(QPainter& painter) const {
    QRect r = rect();
    if (m_bBorder) {
        painter.setPen(palette().color(QPalette::WindowText));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(r.adjusted(0, 0, -1, -1));
        r.adjust(1, 1, -1, -1);
    }
    if (m_bSunken) {
        painter.setPen(palette().color(QPalette::Dark));
        painter.drawLine(r.topLeft(), r.topRight());
        painter.drawLine(r.topLeft(), r.bottomLeft());
        painter.setPen(palette().color(QPalette::Light));
        painter.drawLine(r.bottomLeft(), r.bottomRight());
        painter.drawLine(r.topRight(), r.bottomRight());
    }
}

void LabelCtrl::PaintBackground(QPainter& painter, const QRect& client) const {
    // Background flashing, our choice: in its off phase a label with a background of its own
    // shows the plain face instead; on the face itself nothing changes.
    if (m_nFlashMode == FlashMode::Background && !m_bFlashPhase) {
        painter.fillRect(client, m_hbrFace);
        return;
    }
    if (m_bGradient)
        PaintGradient(painter, client, m_crBk, m_crBkEnd, kGradientBands);
    else
        painter.fillRect(client, m_hbrBk ? *m_hbrBk : m_hbrFace);
}

void LabelCtrl::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    PaintFrame(painter);

    const QRect client = contentsRect();
    painter.setClipRect(client);
    painter.translate(client.topLeft());
    const QRect rc(0, 0, client.width(), client.height());
    const QString text = this->text();

    if (!m_bTransparent)
        PaintBackground(painter, rc);

    QColor color = m_crText;
    if (!m_bFlashPhase && m_nFlashMode == FlashMode::Text)
        color = m_hbrBk ? *m_hbrBk : QColor(0, 0, 0);
    painter.setFont(m_font);
    painter.setPen(color);

    if (m_bRotate) {
        // The baseline starts at the centre and runs at the font's angle.
        // Halved with truncation, as the viewport origin would be.
        const QPoint centre(rc.width() / 2, rc.height() / 2);
        painter.translate(centre);
        painter.rotate(-m_lf.escapement / 10.0);
        painter.drawText(QPoint(0, 0), text);
        return;
    }

    const int flags = FormatFlags(text);
    DrawTextBlock(painter, rc, flags, text);
    if (m_b3D) {
        const int d = m_b3DDownRight ? 1 : -1;
        painter.setPen(m_cr3D);
        DrawTextBlock(painter, rc.translated(d, d), flags, text);
    }
}

} // namespace sv
