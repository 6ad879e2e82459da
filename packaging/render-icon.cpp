// Draws an SVG picture into a PNG at build time:
//   dadiz-icon-png SVG SIZE PNG            a square of SIZE pixels
//   dadiz-icon-png SVG WIDTHxHEIGHT PNG
// Paths only: no window, no font, so no display is needed.

#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>
#include <cstdlib>

namespace {

// One side of the picture from `text` up to `stop`; 0 when it is no number from 16 to 1024.
int side(const char* text, char stop, const char** end)
{
    char* after = nullptr;
    const long value = std::strtol(text, &after, 10);
    *end = after;
    if (after == text || *after != stop || value < 16 || value > 1024)
        return 0;
    return static_cast<int>(value);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: dadiz-icon-png SVG SIZE|WIDTHxHEIGHT PNG\n");
        return 2;
    }
    const char* end = nullptr;
    int width = side(argv[2], '\0', &end);
    int height = width;
    if (width == 0 && *end == 'x') {
        width = side(argv[2], 'x', &end);
        height = width != 0 ? side(end + 1, '\0', &end) : 0;
    }
    if (width == 0 || height == 0) {
        std::fprintf(stderr, "dadiz-icon-png: the size must be SIZE or WIDTHxHEIGHT, each 16 to 1024, not \"%s\"\n",
                     argv[2]);
        return 2;
    }
    QSvgRenderer renderer{QString::fromLocal8Bit(argv[1])};
    if (!renderer.isValid()) {
        std::fprintf(stderr, "dadiz-icon-png: %s is not a readable SVG file\n", argv[1]);
        return 1;
    }
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
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
