// Writes the program icon as a PNG for the desktop's icon theme, at build time.
// Usage: icon_png INPUT.xpm OUTPUT.png SIZE
// SIZE must be a whole multiple of the input's size: the pixels are repeated, never blended, so
// the 16-colour drawing stays sharp.
#include <QImage>
#include <QString>

#include <cstdio>

int main(int argc, char *argv[])
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: icon_png INPUT.xpm OUTPUT.png SIZE\n");
        return 2;
    }
    const QImage in(QString::fromLocal8Bit(argv[1]));
    const int size = QString::fromLocal8Bit(argv[3]).toInt();
    if (in.isNull() || in.width() != in.height() || size <= 0 || size % in.width() != 0) {
        std::fprintf(stderr, "icon_png: %s is no square picture that fits %s pixels\n", argv[1],
                     argv[3]);
        return 1;
    }
    const QImage out = in.convertToFormat(QImage::Format_ARGB32)
                           .scaled(size, size, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    if (!out.save(QString::fromLocal8Bit(argv[2]), "PNG")) {
        std::fprintf(stderr, "icon_png: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
