#include "pictures/PictureCache.h"
#include "tests/support/TestPictures.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <latch>
#include <thread>

#include <unistd.h>

namespace {

const QSize Box(16, 12);

// A flat JPEG padded after its end marker to a fixed length, so that two colours make files of
// the same size.
QByteArray flatJpeg(QColor colour)
{
    QImage image(64, 48, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray jpeg = jpegBytes(image, 90);
    jpeg.append(QByteArray(4096 - jpeg.size(), '\0'));
    return jpeg;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden);
}

} // namespace

class DiskCacheTest : public QObject {
    Q_OBJECT

    enum State {
        Empty,
        Hit,
        NewTime,
        Renamed,
        CutShort,
        RandomBytes,
        FlippedByte,
        OlderVersion,
        ReadOnly,
        Missing,
        CannotBeMade,
        TwoWriters
    };

private slots:
    void states_data()
    {
        QTest::addColumn<int>("state");
        QTest::addColumn<int>("decodes");    // of the load after the change
        QTest::addColumn<bool>("blue");      // the picture the file holds by then
        QTest::addColumn<bool>("rewritten"); // a later run finds the entry
        QTest::newRow("empty") << int(Empty) << 1 << false << true;
        QTest::newRow("hit") << int(Hit) << 0 << false << true;
        QTest::newRow("same size, new time") << int(NewTime) << 1 << true << true;
        QTest::newRow("replaced by rename") << int(Renamed) << 1 << true << true;
        QTest::newRow("entry cut short") << int(CutShort) << 1 << false << true;
        QTest::newRow("entry with one pixel byte changed")
            << int(FlippedByte) << 1 << false << true;
        QTest::newRow("entry of random bytes") << int(RandomBytes) << 1 << false << true;
        QTest::newRow("entry of an older version") << int(OlderVersion) << 1 << false << true;
        QTest::newRow("folder read-only") << int(ReadOnly) << 0 << false << true;
        QTest::newRow("folder missing") << int(Missing) << 1 << false << true;
        QTest::newRow("folder cannot be made") << int(CannotBeMade) << 1 << false << false;
        QTest::newRow("two writers at once") << int(TwoWriters) << 2 << false << true;
    }
    void states()
    {
        QFETCH(int, state);
        QFETCH(int, decodes);
        QFETCH(bool, blue);
        QFETCH(bool, rewritten);
        QTemporaryDir home;
        const QString teacher = home.filePath("cartella");
        const QString picture = teacher + "/1.jpg";
        QVERIFY(QDir().mkpath(teacher));
        writeFile(picture, flatJpeg(Qt::red));
        // A whole second: the picture replaced by rename below differs in nothing but its inode.
        const QDateTime time = QDateTime::fromSecsSinceEpoch(1700000000);
        {
            QFile file(picture);
            QVERIFY(file.open(QIODevice::Append));
            QVERIFY(file.setFileTime(time, QFile::FileModificationTime));
        }
        QString folder = home.filePath("cache");
        if (state == CannotBeMade) {
            writeFile(home.filePath("file"), "x");
            folder = home.filePath("file/cache");
        }
        std::atomic<int> decoded{0};
        // Both writers decode before either writes.
        std::latch together(state == TwoWriters ? 2 : 0);
        const auto newCache = [&] {
            auto cache = std::make_unique<PictureCache>(
                1, [&](const QString &path, const QList<QSize> &sizes) {
                    if (++decoded <= 2 && state == TwoWriters)
                        together.arrive_and_wait();
                    return decodePictureSizes(path, sizes);
                });
            cache->setDiskFolder(folder);
            return cache;
        };
        if (state != Empty && state != TwoWriters && state != CannotBeMade)
            QVERIFY(newCache()->load(picture, Box).ok());
        const QStringList stored = entries(folder);
        const QString entry = stored.isEmpty() ? QString() : folder + '/' + stored.first();

        switch (state) {
        case NewTime:
        case Renamed: {
            const QString written = state == NewTime ? picture : teacher + "/nuova.jpg";
            writeFile(written, flatJpeg(Qt::blue));
            QFile file(written);
            QVERIFY(file.open(QIODevice::Append));
            QVERIFY(file.setFileTime(state == NewTime ? time.addSecs(10) : time,
                                     QFile::FileModificationTime));
            if (state == Renamed)
                QVERIFY(::rename(qPrintable(written), qPrintable(picture)) == 0);
            break;
        }
        case CutShort:
            QVERIFY(QFile::resize(entry, QFileInfo(entry).size() / 2));
            break;
        case RandomBytes: {
            QByteArray noise(QFileInfo(entry).size(), '\0');
            QRandomGenerator(7).fillRange(reinterpret_cast<quint32 *>(noise.data()),
                                          noise.size() / 4);
            writeFile(entry, noise);
            break;
        }
        case FlippedByte: {
            QFile file(entry);
            QVERIFY(file.open(QIODevice::ReadWrite));
            file.seek(file.size() - 1);
            const char last = file.peek(1).at(0);
            file.write(QByteArray(1, char(last ^ 0x40)));
            break;
        }
        case OlderVersion: {
            QFile file(entry);
            QVERIFY(file.open(QIODevice::ReadWrite));
            const quint32 older = DiskCache::FormatVersion - 1;
            file.seek(8); // after the magic
            file.write(reinterpret_cast<const char *>(&older), sizeof older);
            break;
        }
        case ReadOnly:
            QVERIFY(QFile::setPermissions(entry, QFile::ReadOwner));
            QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
            break;
        case Missing:
            QVERIFY(QDir(folder).removeRecursively());
            break;
        default:
            break;
        }

        decoded = 0;
        if (state == TwoWriters) {
            PictureResult a, b;
            std::thread other([&] { a = newCache()->load(picture, Box); });
            b = newCache()->load(picture, Box);
            other.join();
            QVERIFY(a.ok() && a.image == b.image);
        }
        const PictureResult result = newCache()->load(picture, Box);
        QVERIFY2(result.ok(), qPrintable(result.cause));
        QCOMPARE(decoded.load(), decodes);
        QCOMPARE(result.image.size(), Box);
        const QColor centre = result.image.pixelColor(Box.width() / 2, Box.height() / 2);
        QVERIFY2(blue ? centre.blue() > 200 && centre.red() < 60
                      : centre.red() > 200 && centre.blue() < 60,
                 qPrintable(centre.name()));

        decoded = 0;
        QVERIFY(newCache()->load(picture, Box).ok());
        QCOMPARE(decoded.load() == 0, rewritten);
        // Nothing half-written is left behind, and the teacher's folder holds only the picture.
        for (const QString &name : entries(folder))
            QVERIFY2(name.endsWith(".img"), qPrintable(name));
        QCOMPARE(entries(teacher), QStringList{"1.jpg"});
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
};

QTEST_GUILESS_MAIN(DiskCacheTest)
#include "tst_diskcache.moc"
