// The box-size pictures kept on disk between runs, in each state a later run can find them in.

#include "pictures/PictureCache.h"
#include "tests/support/TestPictures.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QSize Box(16, 12);

// A flat JPEG padded after its end marker to a fixed length, so that two colours make files of
// the same size, modified at the given time.
void writePicture(const QString &path, QColor colour, const QDateTime &modified)
{
    QImage image(64, 48, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray jpeg = jpegBytes(image, 90);
    jpeg.append(QByteArray(4096 - jpeg.size(), '\0'));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(jpeg) == 4096);
    QVERIFY(file.flush() && file.setFileTime(modified, QFile::FileModificationTime));
}

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden);
}

} // namespace

class DiskCacheTest : public QObject {
    Q_OBJECT

    enum State { Empty, Hit, NewTime, Renamed, FlippedByte, CannotBeMade };

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
        QTest::newRow("entry with one pixel byte changed")
            << int(FlippedByte) << 1 << false << true;
        QTest::newRow("folder cannot be made") << int(CannotBeMade) << 1 << false << false;
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
        // A whole second: the picture replaced by rename below differs in nothing but its inode.
        const QDateTime time = QDateTime::fromSecsSinceEpoch(1700000000);
        writePicture(picture, Qt::red, time);
        QString folder = home.filePath("cache");
        if (state == CannotBeMade) { // a file where the folder would be
            QVERIFY(QFile(home.filePath("file")).open(QIODevice::WriteOnly));
            folder = home.filePath("file/cache");
        }
        int decoded = 0;
        const auto load = [&] {
            PictureCache cache(1, [&](const QString &path, const QList<QSize> &sizes) {
                ++decoded;
                return decodePictureSizes(path, sizes);
            });
            cache.setDiskFolder(folder);
            return cache.load(picture, Box);
        };
        if (state != Empty && state != CannotBeMade)
            QVERIFY(load().ok());

        if (state == NewTime || state == Renamed) {
            const QString written = state == NewTime ? picture : teacher + "/nuova.jpg";
            writePicture(written, Qt::blue, state == NewTime ? time.addSecs(10) : time);
            if (state == Renamed)
                QVERIFY(::rename(qPrintable(written), qPrintable(picture)) == 0);
        } else if (state == FlippedByte) {
            QFile entry(folder + '/' + entries(folder).value(0));
            QVERIFY(entry.open(QIODevice::ReadWrite) && entry.seek(entry.size() - 1));
            const char last = entry.peek(1).at(0);
            entry.write(QByteArray(1, char(last ^ 0x40)));
        }

        decoded = 0;
        const PictureResult result = load();
        QVERIFY2(result.ok(), qPrintable(result.cause));
        QCOMPARE(decoded, decodes);
        const QColor centre = result.image.pixelColor(Box.width() / 2, Box.height() / 2);
        QVERIFY2((centre.blue() > centre.red()) == blue, qPrintable(centre.name()));

        decoded = 0;
        QVERIFY(load().ok());
        QCOMPARE(decoded == 0, rewritten);
        // Nothing half-written is left behind, and the teacher's folder holds only the picture.
        for (const QString &name : entries(folder))
            QVERIFY2(name.endsWith(".img"), qPrintable(name));
        QCOMPARE(entries(teacher), QStringList{"1.jpg"});
    }
};

QTEST_GUILESS_MAIN(DiskCacheTest)
#include "tst_diskcache.moc"
