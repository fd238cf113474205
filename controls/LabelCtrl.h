// A static text that paints itself: its own font (face, size, weight, italic, underline, angle),
// text colour, a solid, gradient or no background, an offset second copy of the text for a raised
// or sunken look, flashing on a 500 ms timer, a sunken edge or a border, its own cursor, and link
// behaviour (a click opens a web address or a mail message, or notifies the owner instead).
//
// The static control's style comes from the label's own properties:
//   horizontal alignment centre -> centred and word-broken; right -> right and word-broken;
//   left -> word-broken, or neither when wordWrap is off (left without word wrap);
//   centred both ways (Qt::AlignCenter) -> the centre-image style: one line centred both ways,
//   or, when the text holds a line feed, centred horizontally from the top.
// A text holding a tab has its tabs expanded, except with the centre-image style. "&" marks a
// mnemonic as in any static text ("&&" shows one "&"). Nothing is elided: a text too long for the
// label is broken at word boundaries and cut off at its edges.
#pragma once

#include "controls/StaticCtrl.h"

#include <QBasicTimer>
#include <QColor>
#include <QCursor>
#include <QFont>
#include <QMetaType>
#include <QString>
#include <cstdint>
#include <optional>

class QPainter;

namespace sv {

// The description a label keeps of its font. Qt's QFont has no angle, so the angle lives here.
struct LogFont {
    int height = 0;      // character (em) height in pixels; 0 keeps the inherited size
    int width = 0;       // average character width in pixels; 0 keeps the face's own proportions
    int escapement = 0;  // angle of the text in tenths of a degree, counter-clockwise
    int orientation = 0; // angle of each character; kept, Qt draws glyphs along the text's angle
    int weight = 400;    // 100 to 900: 400 normal, 700 bold; 0 counts as 400
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    std::uint8_t charSet = 0; // kept for callers; Qt picks glyphs by the text itself
    std::uint8_t quality = 0; // 3 never antialiased, 4 antialiased, anything else the default
    std::uint8_t pitchAndFamily = 0; // low bits 1 fixed pitch; high nibble roman 1, swiss 2,
                                     // modern 3, script 4, decorative 5
    QString faceName;                // at most kMaxFaceName characters; a longer name is cut

    static constexpr int kMaxFaceName = 31;

    // The font's own properties; the angle and the character set are left at 0.
    static LogFont FromQFont(const QFont& font, int dpiY);
    // The font to draw with. `width` is not applied here (it needs metrics; see LabelCtrl).
    QFont ToQFont() const;

    bool operator==(const LogFont&) const = default;
};

enum class LinkKind { None = 0, Web = 1, Mail = 2 };
enum class FlashMode { None = 0, Text = 1, Background = 2 };

// What a label sends its owner instead of opening its link when asked to notify.
struct NotifyHeader {
    QWidget* from = nullptr;
    int idFrom = 0;
    std::uint32_t code = 0;
};
inline constexpr std::uint32_t kLabelClickNotify = 0x8200;
class LabelCtrl : public StaticCtrl {
    Q_OBJECT

public:
    // Takes the font it inherits from its dialog (binding), the window-text colour of its palette
    // as the text colour, and the window colour as the face of the default background.
    explicit LabelCtrl(QWidget* parent = nullptr);
    ~LabelCtrl() override;

    // Each setter returns the label, so calls can be chained.
    // A solid background (the colour), or a left-to-right gradient from it to `bkEnd`.
    virtual LabelCtrl& SetBkColor(QColor bk, QColor bkEnd = QColor(0, 0, 0), bool gradient = false);
    virtual LabelCtrl& SetTextColor(QColor color);
    virtual LabelCtrl& SetText(const QString& text);
    virtual LabelCtrl& SetFontBold(bool bold); // weight 700 or 400
    virtual LabelCtrl& SetFontName(const QString& face, std::uint8_t charSet = 0);
    virtual LabelCtrl& SetFontUnderline(bool underline);
    virtual LabelCtrl& SetFontItalic(bool italic);
    // The height that a font of `points` of the current face has on this label's screen
    // (points x logical dpi / 72, rounded); the width goes back to the face's own.
    virtual LabelCtrl& SetFontSize(int points);
    virtual LabelCtrl& SetSunken(bool sunken); // a one-pixel sunken edge inside any border
    virtual LabelCtrl& SetBorder(bool border); // a one-pixel frame in the window-text colour
    // Paint no background at all: the owner's pixels show around the text.
    virtual LabelCtrl& SetTransparent(bool transparent);
    // Start (restarting the timer, phase off) or stop flashing. Stopping does not repaint.
    virtual LabelCtrl& FlashText(bool on);
    virtual LabelCtrl& FlashBackground(bool on);
    // A web link (or none); with `notifyParent` a click sends notifyParent() instead of opening.
    // Sets or clears the notify style, so the click is also reported by clicked().
    virtual LabelCtrl& SetLink(bool on, bool notifyParent);
    // The cursor over the label; none gives the ordinary one back.
    virtual LabelCtrl& SetLinkCursor(std::optional<QCursor> cursor);
    // A second copy of the text in the 3D colour, offset by (+1, +1) or (-1, -1), on top.
    virtual LabelCtrl& SetText3D(bool on, bool downRight);
    // The font's angle in degrees; with `rotate` the text is drawn at that angle, its baseline
    // starting at the label's centre.
    virtual LabelCtrl& SetRotation(int degrees, bool rotate);
    virtual LabelCtrl& Set3DColor(QColor color);
    virtual LabelCtrl& SetLogFont(LogFont font);
    // A mail link: a click opens "mailto:" followed by the label's text; the target plays no part.
    virtual LabelCtrl& SetMailLink(bool on, bool notifyParent);
    // The address a web link opens; when empty, the label's text is opened.
    virtual LabelCtrl& SetLinkTarget(const QString& target);

    QColor textColor() const { return m_crText; }
    const LogFont& logFont() const { return m_lf; }
    LinkKind linkKind() const { return m_nLinkKind; }
    bool notifiesParent() const { return m_bNotifyParent; }
    const QString& linkTarget() const { return m_strLinkTarget; }
    FlashMode flashMode() const { return m_nFlashMode; }
    bool isFlashTimerActive() const { return m_flashTimer.isActive(); }
    const std::optional<QCursor>& linkCursor() const { return m_hLinkCursor; }

signals:
    // A click while asked to notify; code kLabelClickNotify.
    void notifyParent(const NotifyHeader& header);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void Bind(const QFont& font);
    void RebuildFont();
    void Redraw();
    // Starts the flash timer for a mode, or stops flashing for FlashMode::None.
    void Flash(FlashMode mode);
    void UpdateMargins();
    void PaintFrame(QPainter& painter) const;
    void PaintBackground(QPainter& painter, const QRect& client) const;
    int FormatFlags(const QString& text) const;

    QColor m_crText;
    QColor m_cr3D{255, 255, 255};
    QColor m_hbrFace; // the default background: the face colour, re-read on palette changes
    std::optional<QColor> m_hbrBk;
    LogFont m_lf;
    QFont m_font;
    bool m_bFlashPhase = false;
    bool m_bTimerSet = false;
    LinkKind m_nLinkKind = LinkKind::None;
    bool m_bTransparent = false;
    bool m_b3D = false;
    bool m_bNotifyParent = false;
    bool m_bRotate = false;
    FlashMode m_nFlashMode = FlashMode::None;
    std::optional<QCursor> m_hLinkCursor;
    bool m_b3DDownRight = false;
    bool m_bGradient = false;
    QColor m_crBkEnd{0, 0, 0};
    QColor m_crBk{0, 0, 0};
    QString m_strLinkTarget;

    QBasicTimer m_flashTimer;
    bool m_bSunken = false;
    bool m_bBorder = false;
    bool m_applyingFont = false; // our own setFont, not a new font from outside
};

// Fills `rect` with a left-to-right gradient of at most `bands` vertical bands. Colours keep
// eight bits of fraction and step with truncation toward zero, so a black-to-white gradient of
// 100 bands ends at 252, not 255; the last band always reaches the right edge.
void PaintGradient(QPainter& painter, const QRect& rect, QColor start, QColor end, int bands);

} // namespace sv

Q_DECLARE_METATYPE(sv::NotifyHeader)
