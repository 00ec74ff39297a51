// Every bad file a teacher's folder may hold, met at start-up and when a picture is loaded: each is
// either shown correctly or ends the program with a report that names the file and the cause,
// without hanging and without a large allocation. The bad files are made here, in a temporary
// folder.

#include "ui/Button.h"
#include "ui/ClickLabel.h"
#include "ui/Design.h"
#include "ui/PictureBox.h"
#include "core/Modulo1.h"
#include "core/WordList.h"
#include "pictures/FolderCheck.h"
#include "pictures/PictureDecoder.h"
#include "screens/FormAvvio.h"
#include "tests/support/ScriptedPlatform.h"
#include "tests/support/TestFolder.h"
#include "tests/support/TestPictures.h"
#include "tests/support/TestProgram.h"
#include "ui/Button.h"
#include "ui/ClickLabel.h"
#include "ui/Design.h"
#include "ui/PictureBox.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTest>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>

namespace {

// A case that hangs is killed by the alarm and fails the test. The bound is far above the one
// second a case may take, so a slow sanitizer build does not trip it; only a hang does.
constexpr unsigned HangSeconds = 20;

struct HangGuard {
    HangGuard() { alarm(HangSeconds); }
    ~HangGuard() { alarm(0); }
};

// Peak resident memory of this process since the last reset, through the kernel's high-water mark.
struct PeakMemory {
    static bool reset()
    {
        QFile clear(QStringLiteral("/proc/self/clear_refs"));
        return clear.open(QIODevice::WriteOnly) && clear.write("5") == 1;
    }
    static qint64 statusBytes(const char *field)
    {
        QFile status(QStringLiteral("/proc/self/status"));
        if (!status.open(QIODevice::ReadOnly))
            return -1;
        for (const QByteArray &line : status.readAll().split('\n'))
            if (line.startsWith(field))
                return line.mid(qstrlen(field)).trimmed().split(' ').first().toLongLong() * 1024;
        return -1;
    }
    static qint64 peak() { return statusBytes("VmHWM:"); }
    static qint64 current() { return statusBytes("VmRSS:"); }
};

// More than this, for one picture of a few kilobytes, is a large allocation: the pictures here
// decode at the box's size into well under a megabyte.
constexpr qint64 LargeAllocation = 32 * 1024 * 1024;

QByteArray peakSince(qint64 before, const char *what)
{
    return QStringLiteral("%1 took %2 MB").arg(what).arg((PeakMemory::peak() - before) >> 20).toUtf8();
}

const QSize Box(145, 145);

QByteArray encoded(const QImage &image, const char *format, int quality = 90)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, quality);
    return bytes;
}

QImage flat(int n, int width = 64, int height = 48)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(TestFolder::pictureColour(n));
    return image;
}

// A JPEG of random pixels: most of its bytes are coded picture data, not header.
QByteArray noisyJpeg()
{
    QImage image(200, 150, QImage::Format_RGB32);
    QRandomGenerator generator(2);
    for (int y = 0; y < image.height(); ++y)
        generator.fillRange(reinterpret_cast<quint32 *>(image.scanLine(y)), image.width());
    return encoded(image, "JPEG");
}

// Runs one of the image tools the test packages install, bytes in and bytes out.
QByteArray tool(const QString &program, const QStringList &args, const QByteArray &input)
{
    const QString path = QStandardPaths::findExecutable(program);
    if (path.isEmpty())
        qFatal("%s is missing: scripts/packages.sh installs it", qPrintable(program));
    QProcess process;
    process.start(path, args);
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        qFatal("%s failed: %s", qPrintable(program), process.readAllStandardError().constData());
    return process.readAllStandardOutput();
}

// The JPEG with the size in its frame header replaced: a header that claims a huge picture over
// the few bytes of a small one. The segments are walked here independently of the program's code.
QByteArray withClaimedSize(QByteArray jpeg, int width, int height)
{
    qsizetype i = 2;
    while (i + 9 < jpeg.size() && uchar(jpeg[i]) == 0xFF) {
        const uchar marker = uchar(jpeg[i + 1]);
        const int length = (uchar(jpeg[i + 2]) << 8) | uchar(jpeg[i + 3]);
        if (marker == 0xC0 || marker == 0xC2) {
            jpeg[i + 5] = char(height >> 8);
            jpeg[i + 6] = char(height);
            jpeg[i + 7] = char(width >> 8);
            jpeg[i + 8] = char(width);
            return jpeg;
        }
        i += 2 + length;
    }
    qFatal("no frame header in the test JPEG");
}

quint32 crc32(const QByteArray &bytes)
{
    quint32 crc = 0xFFFFFFFFu;
    for (const char c : bytes) {
        crc ^= uchar(c);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// A small PNG whose header chunk claims another size, its checksum made right.
QByteArray pngClaiming(int width, int height)
{
    QByteArray png = encoded(flat(2), "PNG");
    // Signature (8), IHDR length (4), "IHDR" (4), width and height (4 + 4) ... CRC after 13 bytes.
    for (int k = 0; k < 4; ++k) {
        png[16 + k] = char(width >> (24 - 8 * k));
        png[20 + k] = char(height >> (24 - 8 * k));
    }
    const quint32 crc = crc32(png.mid(12, 17));
    for (int k = 0; k < 4; ++k)
        png[29 + k] = char(crc >> (24 - 8 * k));
    return png;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// A Unix socket bound at path, closed when the case ends.
struct BoundSocket {
    int fd = -1;
    bool bind(const QString &path)
    {
        fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray native = QFile::encodeName(path);
        if (fd < 0 || native.size() >= qsizetype(sizeof address.sun_path))
            return false;
        qstrncpy(address.sun_path, native.constData(), sizeof address.sun_path);
        return ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
    }
    ~BoundSocket()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

// Puts at path one of the special files both the list and the pictures are tested with.
bool makeSpecial(const QString &kind, const QString &path, BoundSocket &socket)
{
    if (kind == "named pipe")
        return ::mkfifo(QFile::encodeName(path).constData(), 0644) == 0;
    if (kind == "socket")
        return socket.bind(path);
    if (kind == "link to /dev/zero")
        return QFile::link(QStringLiteral("/dev/zero"), path);
    if (kind == "link to /dev/urandom")
        return QFile::link(QStringLiteral("/dev/urandom"), path);
    if (kind == "dangling link")
        return QFile::link(QFileInfo(path).dir().filePath(QStringLiteral("perduto.jpg")), path);
    if (kind == "folder")
        return QDir().mkdir(path);
    return false;
}

const QStringList specialKinds{"named pipe", "socket", "link to /dev/zero", "link to /dev/urandom",
                               "dangling link", "folder"};

QString specialCause(const QString &kind)
{
    if (kind == "named pipe")
        return QStringLiteral("non è un file normale (è una pipe con nome)");
    if (kind == "socket")
        return QStringLiteral("non è un file normale (è un socket)");
    if (kind == "dangling link")
        return QStringLiteral("è un collegamento simbolico a un file che non esiste");
    if (kind == "folder")
        return QStringLiteral("è una cartella, non un file");
    return QStringLiteral("non è un file normale (è un dispositivo)");
}

} // namespace

class TestBadFiles : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void pictures_data();
    void pictures();
    void lists_data();
    void lists();
    void reportListsTheFirstTwenty_data();
    void reportListsTheFirstTwenty();
    void pictureGoneBadAfterStartUp();
    void folderMadeOnWindows();

private:
    QByteArray picture(const QString &kind, const QString &folder);
};

void TestBadFiles::initTestCase()
{
    QVERIFY2(PeakMemory::reset(), "the peak memory of the process cannot be reset");
    QVERIFY(PeakMemory::peak() > 0);
}

void TestBadFiles::pictures_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("cause"); // empty: the picture is shown
    // How a shown picture must look: "colour" or "grey"; for a refused one, "when loaded" when
    // the start-up check, which decodes nothing, lets it through.
    QTest::addColumn<QString>("look");
    QTest::addColumn<int>("budgetMiB"); // a decoding budget of this size; 0: the machine's
    QTest::addColumn<int>("memoryMiB"); // most the start-up check or the decode may take
    const auto add = [](const char *name, const QString &kind, const QString &cause,
                        const QString &look = {}, int budgetMiB = 0,
                        int memoryMiB = LargeAllocation >> 20) {
        QTest::newRow(name) << kind << cause << look << budgetMiB << memoryMiB;
    };

    const QString cutShort = QStringLiteral("l'immagine è incompleta (il file è troncato)");
    add("zero bytes", "zero bytes", "il file è vuoto");
    add("cut short near the end", "cut near the end", cutShort);
    add("cut short in the middle", "cut in the middle", cutShort);
    add("cut short in the header", "cut in the header",
        "non è un'immagine valida (l'intestazione JPEG non si legge)");
    add("progressive, cut short", "progressive cut", cutShort);
    add("text", "text", "non è un'immagine valida");
    add("larger than 64 MiB", "huge file",
        "il file è troppo grande (67108865 byte, al massimo 67108864)");
    for (const QString &kind : specialKinds)
        add(qPrintable(kind), kind, specialCause(kind));
    const QString tooLarge = QStringLiteral("l'immagine è troppo grande ");
    add("header claims 30000 x 30000", "claims 30000",
        tooLarge + "(30000 x 30000 pixel, al massimo 250 milioni di pixel)");
    add("header claims 65500 x 65500", "claims 65500",
        tooLarge + "(65500 x 65500 pixel, al massimo 250 milioni di pixel)");
    // Under the pixel limit, but decoded only with the whole image's coefficients in memory, more
    // than a budget of 128 MiB holds: refused at once, not waited for.
    add("progressive, header claims 12000 x 12000, budget 128 MiB", "progressive claims 12000",
        tooLarge + "(12000 x 12000 pixel: per mostrarla servirebbero 428 MB di memoria, "
                   "al massimo 128 MB)",
        {}, 128);
    add("separate scans, header claims 12000 x 12000, budget 128 MiB", "scans claim 12000",
        tooLarge + "(12000 x 12000 pixel: per mostrarla servirebbero 428 MB di memoria, "
                   "al massimo 128 MB)",
        {}, 128);
    add("PNG header claims 10000 x 10000, budget 128 MiB", "png claims 10000",
        tooLarge + "(10000 x 10000 pixel: per mostrarla servirebbero", {}, 128);
    add("progressive, 1000 empty scans", "many scans",
        "non è un'immagine valida (JPEG progressivo con più di 40 scansioni)", "when loaded");

    add("baseline", "baseline", "", "colour");
    add("4000 x 3000 photo", "photo", "", "colour");
    add("progressive", "progressive", "", "colour");
    add("progressive 2000 x 1500", "progressive photo", "", "colour");
    // As cameras and editors write them: the coefficients alone take 137 MiB.
    add("progressive 6000 x 4000, 4:4:4", "progressive 444", "", "colour", 0, 160);
    add("separate scans", "scans", "", "colour");
    add("CMYK", "cmyk", "", "colour");
    add("grayscale", "grayscale", "", "grey");
    add("PNG named .jpg", "png", "", "colour");
    add("GIF named .jpg", "gif", "", "colour");
    add("data after the end of the image", "trailing data", "", "colour");
    add("a start-of-scan in the data after the end", "trailing scan", "", "colour");
}

QByteArray TestBadFiles::picture(const QString &kind, const QString &folder)
{
    const QByteArray jpeg = encoded(flat(2), "JPEG");
    const QByteArray noisy = noisyJpeg();
    const QByteArray ppm = encoded(flat(2), "PPM");
    if (kind == "zero bytes")
        return QByteArray();
    if (kind == "cut near the end")
        return noisy.left(noisy.size() - 40);
    if (kind == "cut in the middle")
        return noisy.left(noisy.size() / 2);
    if (kind == "cut in the header")
        return jpeg.left(100);
    if (kind == "text")
        return QByteArray("Questa non è una foto: è un file di testo.\r\n");
    if (kind == "claims 30000")
        return withClaimedSize(jpeg, 30000, 30000);
    if (kind == "claims 65500")
        return withClaimedSize(jpeg, 65500, 65500);
    if (kind == "progressive claims 12000")
        return withClaimedSize(tool("jpegtran", {"-progressive"}, jpeg), 12000, 12000);
    if (kind == "png claims 10000")
        return pngClaiming(10000, 10000);
    if (kind == "baseline")
        return jpeg;
    if (kind == "photo")
        return encoded(flat(2, 4000, 3000), "JPEG");
    if (kind == "progressive")
        return tool("jpegtran", {"-progressive"}, jpeg);
    if (kind == "progressive photo")
        return tool("jpegtran", {"-progressive"}, encoded(flat(2, 2000, 1500), "JPEG"));
    if (kind == "progressive 444")
        return tool("cjpeg", {"-sample", "1x1", "-progressive"}, encoded(flat(2, 6000, 4000), "PPM"));
    if (kind == "many scans")
        return manyScanJpeg(QSize(4000, 3000), 1000);
    if (kind == "scans" || kind == "scans claim 12000") {
        // Each colour component in a scan of its own: sequential, yet buffered whole like a
        // progressive one.
        const QString scans = folder + QStringLiteral("/../scans.txt");
        writeFile(scans, "0;\n1;\n2;\n");
        const QByteArray separate = tool("jpegtran", {"-scans", scans}, jpeg);
        return kind == "scans" ? separate : withClaimedSize(separate, 12000, 12000);
    }
    if (kind == "cmyk")
        return tool("convert", {"ppm:-", "-colorspace", "CMYK", "jpg:-"}, ppm);
    if (kind == "grayscale")
        return encoded(flat(2).convertToFormat(QImage::Format_Grayscale8), "JPEG");
    if (kind == "png")
        return encoded(flat(2), "PNG");
    if (kind == "gif")
        return tool("convert", {"ppm:-", "gif:-"}, ppm);
    if (kind == "progressive cut") {
        const QByteArray progressive = tool("jpegtran", {"-progressive"}, noisy);
        return progressive.left(progressive.size() * 6 / 10);
    }
    if (kind == "trailing data")
        return jpeg + QByteArray(300, '\0') + "altri dati";
    if (kind == "trailing scan") // as a video appended by a phone may hold, with no end marker after
        return jpeg + QByteArray("\xFF\xDA\x00\x08video", 9) + QByteArray(1000, '\x55');
    qFatal("unknown picture kind %s", qPrintable(kind));
}

void TestBadFiles::pictures()
{
    QFETCH(QString, kind);
    QFETCH(QString, cause);
    QFETCH(QString, look);
    QFETCH(int, budgetMiB);
    QFETCH(int, memoryMiB);

    TestFolder folder;
    folder.writeWords({"mela", "gatto"});
    const QString path = folder.path() + QStringLiteral("/jpg/2.jpg");
    QFile::remove(path);
    BoundSocket socket;
    if (specialKinds.contains(kind)) {
        QVERIFY(makeSpecial(kind, path, socket));
    } else if (kind == "huge file") {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.resize(MaxPictureFileBytes + 1)); // sparse: nothing is written
    } else {
        QVERIFY(writeFile(path, picture(kind, folder.path())));
    }

    HangGuard guard;
    DecodeBudget small(qint64(budgetMiB) * DecodeBudget::MiB);
    DecodeBudget &budget = budgetMiB > 0 ? small : DecodeBudget::shared();
    // The two ways into a picture file, each on its own, for memory: the start-up check and the
    // decoder.
    const qint64 memory = qint64(memoryMiB) << 20;
    QVERIFY(PeakMemory::reset());
    qint64 before = PeakMemory::current();
    const QString problem = pictureFileProblem(path, budget);
    QVERIFY2(PeakMemory::peak() - before < memory, peakSince(before, "the start-up check"));
    QVERIFY(PeakMemory::reset());
    before = PeakMemory::current();
    const PictureResult decoded = decodePicture(path, Box, budget);
    QVERIFY2(PeakMemory::peak() - before < memory, peakSince(before, "decoding"));

    const QString atStartUp = look == "when loaded" ? QString() : cause;
    if (atStartUp.isEmpty())
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
    else
        QVERIFY2(problem.contains(cause), qPrintable(problem));
    if (cause.isEmpty()) {
        QVERIFY2(decoded.ok(), qPrintable(decoded.cause));
        QCOMPARE(decoded.image.size(), Box);
    } else {
        QVERIFY2(decoded.cause.contains(cause), qPrintable(decoded.cause));
        if (!atStartUp.isEmpty())
            QCOMPARE(decoded.cause, problem); // the same cause at start-up and at load time
    }
    // The program itself decodes in the machine's budget: the rows with a budget of their own
    // end here.
    if (budgetMiB > 0)
        return;

    // At start-up: the program ends before any screen, with a report naming file and cause.
    ScriptedPlatform platform;
    TestProgram m(platform);
    // A picture the check lets through is refused by the start screen, which shows it.
    try {
        m.Main();
        QVERIFY2(cause.isEmpty(), "start-up went on");
        QVERIFY(m.registry.loaded(ScreenId::FormAvvio));
    } catch (const ScriptedFatal &fatal) {
        QVERIFY2(!cause.isEmpty(), qPrintable(fatal.report));
        const QString named = atStartUp.isEmpty() ? QStringLiteral("\nCausa: ") + cause
                                                  : path + QStringLiteral(": ") + cause;
        QVERIFY2(fatal.report.contains(named), qPrintable(fatal.report));
        if (!atStartUp.isEmpty())
            QCOMPARE(m.registry.loadedCount(), 0);
    }

    // Loaded into a box: shown, or the report.
    m.Percorso = folder.path();
    PictureBox box(nullptr);
    box.resize(Box);
    try {
        loadPicture(m, box, 2);
        QVERIFY2(cause.isEmpty(), "a bad picture was shown");
    } catch (const ScriptedFatal &fatal) {
        QVERIFY2(!cause.isEmpty(), qPrintable(fatal.report));
        QVERIFY2(fatal.report.contains(QStringLiteral("File: ") + path), qPrintable(fatal.report));
        QVERIFY2(fatal.report.contains(QStringLiteral("Causa: ") + cause), qPrintable(fatal.report));
        return;
    }
    const QImage shown = box.picture();
    if (look == "colour") {
        QCOMPARE(TestFolder::pictureNumberOf(shown), 2);
    } else {
        // The grey Qt made of the colour, within JPEG rounding.
        const QColor c = shown.pixelColor(shown.width() / 2, shown.height() / 2);
        const int grey = flat(2).convertToFormat(QImage::Format_Grayscale8).pixelColor(0, 0).red();
        QCOMPARE(c.red(), c.green());
        QCOMPARE(c.green(), c.blue());
        QVERIFY2(qAbs(c.red() - grey) <= 4,
                 qPrintable(QStringLiteral("%1, not %2").arg(c.red()).arg(grey)));
    }
}

void TestBadFiles::lists_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("cause");      // empty: the list is used
    QTest::addColumn<QStringList>("words"); // the words it gives when used

    QTest::addRow("zero bytes") << "" << QByteArray() << "" << QStringList{};
    QTest::addRow("blank lines only")
        << "" << QByteArray("\r\n\r\n   \r\n\t\r\n") << "" << QStringList{"", "", "", ""};
    QByteArray garbage(4096, Qt::Uninitialized);
    QRandomGenerator generator(6);
    generator.fillRange(reinterpret_cast<quint32 *>(garbage.data()), garbage.size() / 4);
    QTest::addRow("binary garbage")
        << "" << garbage << "il file contiene byte nulli (il primo al byte 247): non è testo semplice"
        << QStringList{};
    QTest::addRow("NUL bytes")
        << "" << QByteArray("mela\r\nga\0tto\r\n", 13)
        << "il file contiene byte nulli (il primo al byte 9)" << QStringList{};
    QTest::addRow("saved as UTF-16")
        << "" << QByteArray("\xFF\xFEm\0e\0l\0a\0\r\0\n\0", 14)
        << "il file contiene byte nulli (il primo al byte 4): non è testo semplice; se è stato "
           "salvato come Unicode (UTF-16), salvarlo di nuovo come ANSI o UTF-8"
        << QStringList{};
    QTest::addRow("form feed")
        << "" << QByteArray("mela\r\n\fgatto\r\n")
        << "il file contiene caratteri di controllo (il primo, 0x0c, al byte 7)" << QStringList{};
    QTest::addRow("DOS end-of-file mark at the end")
        << "" << QByteArray("mela\r\ngatto\r\n\x1A") << "" << QStringList{"mela", "gatto"};
    QTest::addRow("DOS end-of-file mark before the end")
        << "" << QByteArray("mela\x1A\r\ngatto\r\n")
        << "il file contiene caratteri di controllo (il primo, 0x1a, al byte 5)" << QStringList{};
    QTest::addRow("unterminated quote at the end")
        << "" << QByteArray("mela\r\ngatto\r\n\"pane, burro") << ""
        << QStringList{"mela", "gatto", "pane, burro"};
    QTest::addRow("one 10 MB line")
        << "" << QByteArray(10 * 1000 * 1000, 'a')
        << "il file è troppo grande (10000000 byte, al massimo 1048576)" << QStringList{};
    // Read into memory, this one would show in the peak; refused by its size, it does not.
    QTest::addRow("200 MB list")
        << "200 MB" << QByteArray() << "il file è troppo grande (209715200 byte, al massimo 1048576)"
        << QStringList{};
    QByteArray shortLines;
    for (int i = 0; i < 100000; ++i)
        shortLines += "a\r\n";
    QTest::addRow("100,000 short lines")
        << "" << shortLines << "l'elenco contiene più di 150 parole" << QStringList{};
    QTest::addRow("invalid UTF-8")
        << "" << QByteArray("citt\xC3\xA0\r\npi\xF9\r\n") << "" << QStringList{"cittÃ\u00A0", "più"};
    QTest::addRow("byte-order mark, then Windows-1252")
        << "" << QByteArray("\xEF\xBB\xBF" "caff\xE8\r\n\x80\r\n") << "" << QStringList{"caffè", "€"};
    // Windows-1252 leaves 0x81, 0x8D, 0x8F, 0x90 and 0x9D unassigned: they stay the C1 controls of
    // the same value, as the system converters give them.
    QTest::addRow("the five unassigned Windows-1252 bytes")
        << "" << QByteArray("a\x81" "b\r\n\x8D\r\n\x8F\x90\x9D\r\n") << ""
        << QStringList{QStringLiteral("a\u0081b"), QStringLiteral("\u008D"),
                       QStringLiteral("\u008F\u0090\u009D")};
    for (const QString &kind : specialKinds)
        if (kind != "folder") // in tst_modulo1
            QTest::addRow("%s", qPrintable(kind))
                << kind << QByteArray() << specialCause(kind) << QStringList{};
}

void TestBadFiles::lists()
{
    QFETCH(QString, kind);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, cause);
    QFETCH(QStringList, words);

    TestFolder folder;
    const QString path = folder.path() + QStringLiteral("/lista.txt");
    BoundSocket socket;
    if (kind.isEmpty()) {
        folder.writeList(bytes);
    } else if (kind == "200 MB") {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.resize(200 * 1024 * 1024)); // sparse: nothing is written
    } else {
        QVERIFY(makeSpecial(kind, path, socket));
    }
    folder.writePictures(int(words.size()));

    HangGuard guard;
    ScriptedPlatform platform;
    platform.readPictures = false;
    TestProgram m(platform);
    QVERIFY(PeakMemory::reset());
    const qint64 before = PeakMemory::current();
    try {
        m.Main();
        QVERIFY2(cause.isEmpty(), "start-up went on");
    } catch (const ScriptedFatal &fatal) {
        QVERIFY2(!cause.isEmpty(), qPrintable(fatal.report));
        QVERIFY2(fatal.report.contains(QStringLiteral("File: ") + path), qPrintable(fatal.report));
        QVERIFY2(fatal.report.contains(QStringLiteral("Causa: ") + cause), qPrintable(fatal.report));
        QCOMPARE(m.registry.loadedCount(), 0);
        QCOMPARE(m.NumParole, qint16(0));
    }
    QVERIFY2(PeakMemory::peak() - before < LargeAllocation,
             peakSince(before, "start-up"));
    if (!cause.isEmpty())
        return;
    QCOMPARE(m.NumParole, qint16(words.size()));
    for (int n = 1; n <= words.size(); ++n)
        QCOMPARE(m.Parole[n], words[n - 1]);
    QVERIFY(m.Parole[words.size() + 1].isEmpty());
    QVERIFY(m.registry.loaded(ScreenId::FormAvvio));
}

void TestBadFiles::reportListsTheFirstTwenty_data()
{
    QTest::addColumn<int>("words");
    QTest::addColumn<QList<int>>("missing");
    QTest::addColumn<QString>("tail"); // what follows the listed files, or empty

    QTest::addRow("one") << 30 << QList<int>{17} << "";
    QList<int> twenty;
    for (int n = 2; n <= 40; n += 2)
        twenty << n;
    QTest::addRow("twenty") << 40 << twenty << "";
    QTest::addRow("twenty-one") << 40 << (QList<int>(twenty) << 39) << "\n... e un'altra";
    QList<int> all;
    for (int n = 1; n <= 150; ++n)
        all << n;
    QTest::addRow("all 150") << 150 << all << "\n... e altre 130";
    QTest::addRow("empty list, no picture 1") << 0 << QList<int>{1} << "";
}

void TestBadFiles::reportListsTheFirstTwenty()
{
    QFETCH(int, words);
    QFETCH(QList<int>, missing);
    QFETCH(QString, tail);

    TestFolder folder;
    QByteArray list;
    for (int n = 1; n <= words; ++n)
        list += "parola" + QByteArray::number(n) + "\r\n";
    folder.writeList(list);
    folder.writePictures(words);
    for (const int n : missing)
        QVERIFY(QFile::remove(folder.path() + QStringLiteral("/jpg/%1.jpg").arg(n)));

    HangGuard guard;
    ScriptedPlatform platform;
    TestProgram m(platform);
    try {
        m.Main();
        QFAIL("start-up went on");
    } catch (const ScriptedFatal &fatal) {
        std::sort(missing.begin(), missing.end());
        const int pictures = qMax(words, 1);
        QString expected =
            missing.size() == 1
                ? QStringLiteral("Un'immagine manca o non si può mostrare (1 su %1):\n").arg(pictures)
                : QStringLiteral("Alcune immagini mancano o non si possono mostrare (%1 su %2):\n")
                      .arg(missing.size())
                      .arg(pictures);
        for (int i = 0; i < missing.size() && i < 20; ++i)
            expected += QStringLiteral("\n%1/jpg/%2.jpg: file non trovato")
                            .arg(folder.path())
                            .arg(missing[i]);
        QCOMPARE(fatal.report, expected + tail);
    }
    QCOMPARE(m.registry.loadedCount(), 0);
}

void TestBadFiles::pictureGoneBadAfterStartUp()
{
    TestFolder folder;
    folder.writeWords({"mela", "gatto", "cane", "sole", "luna", "casa"});
    ScriptedPlatform platform;
    TestProgram m(platform);
    m.Main();
    QVERIFY(m.registry.loaded(ScreenId::FormAvvio));

    const QString path = folder.path() + QStringLiteral("/jpg/5.jpg");
    const QByteArray whole = noisyJpeg();
    QVERIFY(writeFile(path, whole.left(whole.size() / 2)));
    PictureBox box(nullptr);
    box.resize(Box);
    try {
        loadPicture(m, box, 5);
        QFAIL("a picture cut short was shown");
    } catch (const ScriptedFatal &fatal) {
        QCOMPARE(fatal.report, QStringLiteral("Impossibile mostrare l'immagine 5.\n\nFile: %1\nCausa: "
                                              "l'immagine è incompleta (il file è troncato).")
                                   .arg(path));
    }
}

void TestBadFiles::folderMadeOnWindows()
{
    // Names in capitals: the start-up check finds the files the loader will read.
    TestFolder folder;
    folder.writeWords({"mela", "gatto"});
    QDir dir(folder.path());
    QVERIFY(dir.rename(QStringLiteral("lista.txt"), QStringLiteral("LISTA.TXT")));
    QVERIFY(dir.rename(QStringLiteral("jpg"), QStringLiteral("JPG")));
    QVERIFY(dir.rename(QStringLiteral("JPG/2.jpg"), QStringLiteral("JPG/2.JPG")));
    ScriptedPlatform platform;
    TestProgram m(platform);
    m.Main();
    QCOMPARE(m.NumParole, qint16(2));
    QVERIFY(m.registry.loaded(ScreenId::FormAvvio));
}

QTEST_MAIN(TestBadFiles)
#include "tst_badfiles.moc"
