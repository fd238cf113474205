// Pixels as a person would see them: render a widget and look at what was drawn.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QRect>
#include <QSet>
#include <QWidget>
#include <functional>

namespace render {

inline QImage Grab(QWidget& widget) {
    return widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

inline QColor At(const QImage& image, int x, int y) {
    return QColor(image.pixel(x, y));
}

// Positions (x, y) of the pixels that satisfy `is`.
inline QSet<QPoint> Pixels(const QImage& image, const std::function<bool(QColor)>& is) {
    QSet<QPoint> points;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (is(QColor(image.pixel(x, y))))
                points.insert(QPoint(x, y));
    return points;
}

inline QSet<QPoint> PixelsOf(const QImage& image, QColor color) {
    return Pixels(image, [color](QColor c) { return c == color; });
}

// The bounding box of the pixels that differ from `background`.
inline QRect Ink(const QImage& image, QColor background) {
    QRect box;
    for (const QPoint& p : Pixels(image, [background](QColor c) { return c != background; }))
        box |= QRect(p, QSize(1, 1));
    return box;
}

// A font that draws without antialiasing, so that every text pixel has the text's colour.
inline QFont Crisp(int pixels, bool bold = false) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pixels);
    font.setBold(bold);
    font.setStyleStrategy(QFont::NoAntialias);
    return font;
}

} // namespace render
