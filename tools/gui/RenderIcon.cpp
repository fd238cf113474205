// render_icon SVG PNG SIZE: renders an SVG picture into a square PNG of SIZE pixels with Qt's own
// SVG renderer, the one the application draws with. Used to make res/icons/sonvault-*.png.
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>

int main(int argc, char** argv) {
    // Needs no display.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    bool ok = false;
    const int size = args.size() == 4 ? args[3].toInt(&ok) : 0;
    if (!ok || size <= 0 || size > 4096) {
        std::fprintf(stderr, "usage: render_icon SVG PNG SIZE\n");
        return 64;
    }
    QSvgRenderer svg(args[1]);
    if (!svg.isValid()) {
        std::fprintf(stderr, "render_icon: cannot read %s\n", qPrintable(args[1]));
        return 1;
    }
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    svg.render(&painter);
    painter.end();
    if (!image.save(args[2], "PNG")) {
        std::fprintf(stderr, "render_icon: cannot write %s\n", qPrintable(args[2]));
        return 1;
    }
    return 0;
}
