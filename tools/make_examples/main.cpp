// Writes the example material: a word list (lista.txt, Windows-1252, CR LF)
// and one JPEG picture per word (jpg/1.jpg, jpg/2.jpg, ...), where picture k
// shows word k. The pictures are emoji glyphs of the Noto Color Emoji font,
// drawn large and centred on a light pastel background.
//
// Usage: make_examples <output-folder>

#include <QColor>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QRect>
#include <QStringEncoder>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

struct Entry {
    const char *word;      // UTF-8 in this source file
    const char32_t *emoji; // the emoji's code points
};

// Word k of the list is shown by picture k.jpg (counting from 1).
const std::vector<Entry> kEntries = {
    {"mela", U"\U0001F34E"},       {"gatto", U"\U0001F408"},       {"cane", U"\U0001F415"},
    {"sole", U"\u2600\uFE0F"},     {"luna", U"\U0001F319"},        {"casa", U"\U0001F3E0"},
    {"albero", U"\U0001F333"},     {"fiore", U"\U0001F337"},       {"pesce", U"\U0001F41F"},
    {"auto rossa", U"\U0001F697"}, {"treno", U"\U0001F682"},       {"libro", U"\U0001F4D6"},
    {"pallone", U"\u26BD"},        {"banana", U"\U0001F34C"},      {"pizza", U"\U0001F355"},
    {"caffè", U"\u2615"},          {"città", U"\U0001F3D9\uFE0F"}, {"orologio", U"\u231A"},
    {"ombrello", U"\u2602\uFE0F"}, {"chiave", U"\U0001F511"},      {"stella", U"\u2B50"},
    {"cuore", U"\u2764\uFE0F"},    {"uovo", U"\U0001F95A"},        {"fragola", U"\U0001F353"},
    {"bicicletta", U"\U0001F6B2"}, {"aereo", U"\u2708\uFE0F"},     {"nave", U"\U0001F6A2"},
    {"formaggio", U"\U0001F9C0"},  {"gelato", U"\U0001F366"},      {"tè", U"\U0001F375"},
    {"farfalla", U"\U0001F98B"},   {"tartaruga", U"\U0001F422"},
};

constexpr int kImageSize = 320; // side of the square pictures
constexpr int kEmojiSize = 240; // longest side of the emoji inside them
constexpr int kBitmapPx = 109;  // the font's native bitmap strike
constexpr int kJpegQuality = 90;
const char *kFontFile = "/usr/share/fonts/truetype/noto/NotoColorEmoji.ttf";

QString emojiText(const Entry &e) { return QString::fromUcs4(e.emoji); }

// A soft background colour; the hue walks around the colour wheel.
QColor pastel(int index)
{
    const int hue = (index * 137) % 360;
    return QColor::fromHsv(hue, 38, 250);
}

// Draws the glyph at its native size and crops it to the visible pixels.
QImage renderGlyph(const QString &text, const QFont &font)
{
    QImage img(kBitmapPx * 3, kBitmapPx * 3, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    {
        QPainter p(&img);
        p.setFont(font);
        p.drawText(img.rect(), Qt::AlignCenter, text);
    }
    int left = img.width(), top = img.height(), right = -1, bottom = -1;
    for (int y = 0; y < img.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(img.constScanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            if (qAlpha(line[x]) > 8) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
    }
    if (right < 0)
        return {};
    return img.copy(QRect(QPoint(left, top), QPoint(right, bottom)));
}

// True when the glyph came out as a colour bitmap and not as a black
// outline from some text font (the soccer ball has no hue, only grays).
bool isColourful(const QImage &glyph)
{
    for (int y = 0; y < glyph.height(); ++y) {
        for (int x = 0; x < glyph.width(); ++x) {
            const QColor c = QColor::fromRgba(glyph.pixel(x, y));
            if (c.alpha() > 128 && (c.hsvSaturation() > 60 || c.value() > 100))
                return true;
        }
    }
    return false;
}

QByteArray encodeWindows1252(const QString &text, bool *ok)
{
    QStringEncoder encoder("windows-1252");
    if (encoder.isValid()) {
        QByteArray bytes = encoder.encode(text);
        *ok = !encoder.hasError();
        return bytes;
    }
    // Without a codec: every character of this list is in Latin-1 outside
    // the 0x80-0x9F range, where Windows-1252 and Latin-1 agree.
    *ok = true;
    for (QChar c : text) {
        const ushort u = c.unicode();
        if (u > 0xFF || (u >= 0x80 && u < 0xA0))
            *ok = false;
    }
    return text.toLatin1();
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output-folder>\n", argv[0]);
        return 2;
    }
    QDir out(QString::fromLocal8Bit(argv[1]));
    if (!out.mkpath("jpg")) {
        std::fprintf(stderr, "cannot create %s/jpg\n", argv[1]);
        return 1;
    }

    QString family = "Noto Color Emoji";
    const int id = QFontDatabase::addApplicationFont(kFontFile);
    if (id >= 0 && !QFontDatabase::applicationFontFamilies(id).isEmpty())
        family = QFontDatabase::applicationFontFamilies(id).first();
    QFont font(family);
    font.setPixelSize(kBitmapPx);
    font.setStyleStrategy(QFont::NoFontMerging);

    // The word list.
    QString list;
    for (const Entry &e : kEntries)
        list += QString::fromUtf8(e.word) + QStringLiteral("\r\n");
    bool encoded = false;
    const QByteArray bytes = encodeWindows1252(list, &encoded);
    if (!encoded) {
        std::fprintf(stderr, "the word list does not fit Windows-1252\n");
        return 1;
    }
    QFile listFile(out.filePath("lista.txt"));
    if (!listFile.open(QIODevice::WriteOnly) || listFile.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "cannot write lista.txt\n");
        return 1;
    }
    listFile.close();

    // The pictures.
    int failures = 0;
    for (int i = 0; i < int(kEntries.size()); ++i) {
        const Entry &e = kEntries[i];
        const QImage glyph = renderGlyph(emojiText(e), font);
        if (glyph.isNull() || !isColourful(glyph)) {
            std::fprintf(stderr, "no colour glyph for \"%s\"\n", e.word);
            ++failures;
            continue;
        }
        const QImage big =
            glyph.scaled(kEmojiSize, kEmojiSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        QImage picture(kImageSize, kImageSize, QImage::Format_RGB32);
        picture.fill(pastel(i));
        {
            QPainter p(&picture);
            p.setRenderHint(QPainter::SmoothPixmapTransform);
            p.drawImage((kImageSize - big.width()) / 2, (kImageSize - big.height()) / 2, big);
        }
        const QString name = out.filePath(QStringLiteral("jpg/%1.jpg").arg(i + 1));
        if (!picture.save(name, "JPEG", kJpegQuality)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(name));
            ++failures;
            continue;
        }
        std::printf("%2d  %s\n", i + 1, e.word);
    }
    return failures == 0 ? 0 : 1;
}
