// Draws an SVG icon into a square PNG at build time:
//   dadiz-icon-png SVG SIZE PNG
// Paths only: no window, no font, so no display is needed.

#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: dadiz-icon-png SVG SIZE PNG\n");
        return 2;
    }
    char* end = nullptr;
    const long size = std::strtol(argv[2], &end, 10);
    if (end == argv[2] || *end != '\0' || size < 16 || size > 1024) {
        std::fprintf(stderr, "dadiz-icon-png: SIZE must be 16 to 1024, not \"%s\"\n", argv[2]);
        return 2;
    }
    QSvgRenderer renderer{QString::fromLocal8Bit(argv[1])};
    if (!renderer.isValid()) {
        std::fprintf(stderr, "dadiz-icon-png: %s is not a readable SVG file\n", argv[1]);
        return 1;
    }
    QImage image(static_cast<int>(size), static_cast<int>(size), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter);
    }
    if (!image.save(QString::fromLocal8Bit(argv[3]), "PNG")) {
        std::fprintf(stderr, "dadiz-icon-png: cannot write %s\n", argv[3]);
        return 1;
    }
    return 0;
}
