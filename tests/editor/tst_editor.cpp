#include "core/WordList.h"
#include "editor/FolderStore.h"
#include "editor/ListFile.h"
#include "editor/PictureExport.h"
#include "editor/Problems.h"
#include "tests/support/TestPictures.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QSize Shape(121, 129);

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// What the exercise program sees in a folder: its words and the bytes of their pictures.
QStringList readAsProgram(const QString &folder)
{
    const LoadedFolder loaded = loadFolder(folder);
    QStringList seen{loaded.cause};
    for (const Entry &e : loaded.entries) {
        QFile f(e.picture);
        if (!e.picture.isEmpty())
            f.open(QIODevice::ReadOnly);
        seen << e.word + u'='
                    + QCryptographicHash::hash(f.readAll(), QCryptographicHash::Md5).toHex();
    }
    return seen;
}

// The disk, failing at one step: only that step (a full disk), or that one and every later one
// (the machine stops there).
class FailingOps : public DiskFileOps {
public:
    int failAt = -1;
    bool crash = false;
    int calls = 0;
    QString failedStep;
    QString makeDir(const QString &p) override
    {
        return fails("makeDir " + p) ? Full : DiskFileOps::makeDir(p);
    }
    QString writeFile(const QString &p, const QByteArray &d) override
    {
        return fails("writeFile " + p) ? Full : DiskFileOps::writeFile(p, d);
    }
    QString syncDir(const QString &p) override
    {
        return fails("syncDir " + p) ? Full : DiskFileOps::syncDir(p);
    }
    QString exchange(const QString &a, const QString &b) override
    {
        return fails("exchange " + a) ? Full : DiskFileOps::exchange(a, b);
    }
    QString rename(const QString &a, const QString &b) override
    {
        return fails("rename " + a + " -> " + b) ? Full : DiskFileOps::rename(a, b);
    }
    QString removeTree(const QString &p) override
    {
        return fails("removeTree " + p) ? Full : DiskFileOps::removeTree(p);
    }

private:
    const QString Full = QStringLiteral("il disco è pieno");
    bool fails(const QString &step)
    {
        const int n = calls++;
        if (n == failAt)
            failedStep = step;
        return n == failAt || (crash && n > failAt && failAt >= 0);
    }
};

} // namespace

Q_DECLARE_METATYPE(Crop)

class TestEditor : public QObject {
    Q_OBJECT
private slots:
    void listRoundTrip_data();
    void listRoundTrip();
    void fileNames_data();
    void fileNames();
    void problems_data();
    void problems();
    void keptPart_data();
    void keptPart();
    void pictures_data();
    void pictures();
    void saveRefused_data();
    void saveRefused();
    void saveFailsAtEveryStep_data();
    void saveFailsAtEveryStep();
};

void TestEditor::listRoundTrip_data()
{
    QTest::addColumn<QStringList>("words");
    QTest::addColumn<QByteArray>("marker"); // bytes the chosen encoding must show
    QTest::addRow("comma, quoted")
        << QStringList{"sale, pepe", "olio"} << QByteArray("\"sale, pepe\"\r\n");
    QTest::addRow("accent in Windows-1252") << QStringList{"città"} << QByteArray("citt\xE0\r\n");
    QTest::addRow("blanks kept in quotes")
        << QStringList{"  spazi", "fine  "} << QByteArray("\"  spazi\"");
    QTest::addRow("euro in Windows-1252") << QStringList{"€"} << QByteArray("\x80\r\n");
    QTest::addRow("Greek in UTF-8") << QStringList{"città", "λέξη"} << QByteArray("citt\xC3\xA0");
    QTest::addRow("Windows-1252 that reads as UTF-8")
        << QStringList{"Ã©"} << QByteArray("\xC3\x83\xC2\xA9");
    QTest::addRow("empty words") << QStringList{"", "a", ""} << QByteArray("\"\"\r\na\r\n");
    QTest::addRow("tab inside") << QStringList{"a\tb"} << QByteArray("a\tb");
}

void TestEditor::listRoundTrip()
{
    QFETCH(QStringList, words);
    QFETCH(QByteArray, marker);
    const QByteArray bytes = encodeWordList(words);
    QVERIFY2(bytes.contains(marker), bytes.constData());
    const WordList read = parseWordList(bytes);
    QVERIFY2(read.ok(), qPrintable(read.cause));
    QCOMPARE(read.words, words);
}

void TestEditor::fileNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("word");
    QTest::addRow("underscores") << "palla_da_calcio.jpg"
                                 << "palla da calcio";
    QTest::addRow("phone camera") << "IMG_20241103_101512.jpg"
                                  << "";
    QTest::addRow("camera, no separator") << "DSC01234.JPG"
                                          << "";
    QTest::addRow("compact camera") << "P1010001.JPG"
                                    << "";
    QTest::addRow("chat app") << "IMG-20241103-WA0001.jpeg"
                              << "";
    QTest::addRow("Pixel motion photo") << "PXL_20241103_101512345.MP.jpg"
                                        << "";
    QTest::addRow("old numbered picture") << "12.jpg"
                                          << "";
    QTest::addRow("word with a digit") << "cane1.png"
                                       << "cane1";
    QTest::addRow("repeated blanks") << "gelato  _al_limone.heic"
                                     << "gelato al limone";
    QTest::addRow("decomposed accent") << QString::fromUtf8("perche\xCC\x81.jpg") << "perché";
}

void TestEditor::fileNames()
{
    QFETCH(QString, name);
    QTEST(wordFromFileName(name), "word");
}

void TestEditor::problems_data()
{
    QTest::addColumn<QStringList>("words");    // "-" as a word's last character: no picture
    QTest::addColumn<QStringList>("expected"); // row:B blocks, row:W warns; -1 the whole list
    const QStringList six{"uno", "due", "tre", "quattro", "cinque", "sei"};
    QStringList many;
    for (int i = 0; i < 151; ++i)
        many << QString::number(i);
    QTest::addRow("six good words") << six << QStringList{};
    QTest::addRow("five words") << six.mid(0, 5) << QStringList{"-1:W"};
    QTest::addRow("150 words") << many.mid(0, 150) << QStringList{};
    QTest::addRow("151 words") << many << QStringList{"-1:B"};
    QTest::addRow("double quote") << (QStringList(six) << "il \"re\"") << QStringList{"6:B"};
    QTest::addRow("line end") << (QStringList(six) << "a\nb") << QStringList{"6:B"};
    QTest::addRow("no picture") << (QStringList(six) << "sette-") << QStringList{"6:B"};
    QTest::addRow("empty word") << (QStringList(six) << " ") << QStringList{"6:W"};
    QTest::addRow("equal words") << (QStringList(six) << "due") << QStringList{"6:W"};
    QTest::addRow("12 letters fit") << (QStringList(six) << "abcdefghijkl") << QStringList{};
    QTest::addRow("13 letters wider")
        << (QStringList(six) << "abcdefghijklm") << QStringList{"6:W"};
}

void TestEditor::problems()
{
    QFETCH(QStringList, words);
    QList<Entry> entries;
    for (const QString &w : words)
        entries.append({w.endsWith(u'-') ? w.chopped(1) : w, w.endsWith(u'-') ? "" : "/p.jpg", {}});
    // A font of 10 pixels a letter in a label of 129.
    const ExerciseFacts facts{Shape, 129, [](const QString &w) { return int(w.size()) * 10; }};
    QStringList found;
    for (const Problem &p : listProblems(entries, facts))
        found << QStringLiteral("%1:%2").arg(p.row).arg(p.blocking ? 'B' : 'W');
    QTEST(found, "expected");
}

void TestEditor::keptPart_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<Crop>("crop");
    QTest::addColumn<QRect>("kept");
    // Boxes 121 x 129: 100 high keeps 93.8 wide, 100 wide keeps 106.6 high.
    QTest::addRow("whole picture") << QSize(300, 100) << Crop{false, 0} << QRect(0, 0, 300, 100);
    QTest::addRow("wide, left end") << QSize(300, 100) << Crop{true, 0} << QRect(0, 0, 94, 100);
    QTest::addRow("wide, right end") << QSize(300, 100) << Crop{true, 1} << QRect(206, 0, 94, 100);
    QTest::addRow("tall, centred") << QSize(100, 300) << Crop{true, 0.5} << QRect(0, 97, 100, 107);
}

void TestEditor::keptPart()
{
    QFETCH(QSize, size);
    QFETCH(Crop, crop);
    QTEST(keptRect(size, crop, Shape), "kept");
}

void TestEditor::pictures_data()
{
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<bool>("cropped");
    QTest::addColumn<QSize>("size"); // of the saved picture; empty: the same bytes
    const QImage wide = noisyImage(QSize(600, 400), 1);
    QTest::addRow("small upright jpeg copied") << jpegBytes(wide, 80) << false << QSize();
    QTest::addRow("large jpeg scaled")
        << jpegBytes(noisyImage(QSize(2000, 1500), 2), 80) << false << QSize(1024, 768);
    QTest::addRow("EXIF turned") << withExifOrientation(jpegBytes(wide, 80), 6) << false
                                 << QSize(400, 600);
    QByteArray png;
    {
        QBuffer b(&png);
        b.open(QIODevice::WriteOnly);
        wide.save(&b, "PNG");
    }
    QTest::addRow("png to jpeg") << png << false << QSize(600, 400);
    QFile heic(QFINDTESTDATA("foto.heic")); // made by heif-enc from a 64 x 48 picture
    QVERIFY(heic.open(QIODevice::ReadOnly));
    QTest::addRow("HEIC to jpeg") << heic.readAll() << false << QSize(64, 48);
    // 400 high in the boxes' shape: 400 * 121 / 129 = 375.2 wide.
    QTest::addRow("wide cropped to the boxes") << jpegBytes(wide, 80) << true << QSize(375, 400);
}

void TestEditor::pictures()
{
    QFETCH(QByteArray, source);
    QFETCH(bool, cropped);
    QFETCH(QSize, size);
    QTemporaryDir dir;
    writeBytes(dir.filePath("foto"), source);
    const ExportedPicture out = exportPicture(dir.filePath("foto"), Crop{cropped, 0.5}, Shape);
    QVERIFY2(out.ok(), qPrintable(out.cause));
    if (size.isEmpty()) {
        QCOMPARE(out.bytes, source);
        return;
    }
    QBuffer b;
    b.setData(out.bytes);
    QImageReader reader(&b);
    QCOMPARE(reader.format(), QByteArray("jpeg"));
    QCOMPARE(reader.transformation(), QImageIOHandler::TransformationNone);
    QCOMPARE(reader.size(), size);
}

void TestEditor::saveRefused_data()
{
    QTest::addColumn<bool>("folderGone");
    QTest::addColumn<QString>("named"); // the file the cause names, under the test's folder
    QTest::addRow("folder removed while open") << true << "cartella";
    QTest::addRow("picture removed since added") << false << "foto.jpg";
}

void TestEditor::saveRefused()
{
    QFETCH(bool, folderGone);
    QFETCH(QString, named);
    QTemporaryDir dir;
    if (folderGone)
        writeBytes(dir.filePath("foto.jpg"), jpegBytes(noisyImage({64, 48}, 1), 80));
    else
        QVERIFY(QDir().mkpath(dir.filePath("cartella")));
    DiskFileOps disk;
    const QString cause =
        saveFolder(dir.filePath("cartella"), {{"mela", dir.filePath("foto.jpg"), {}}}, Shape, disk);
    QVERIFY2(cause.startsWith("File: " + dir.filePath(named)), qPrintable(cause));
    QVERIFY(QDir(dir.filePath("cartella"))
                .isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
}

void TestEditor::saveFailsAtEveryStep_data()
{
    QTest::addColumn<bool>("crash");
    QTest::addColumn<bool>("windowsNames"); // LISTA.TXT and JPG/1.JPG: no exchange, two renames
    QTest::addRow("one step fails") << false << false;
    QTest::addRow("one step fails, Windows names") << false << true;
    QTest::addRow("machine stops") << true << false;
    QTest::addRow("machine stops, Windows names") << true << true;
}

void TestEditor::saveFailsAtEveryStep()
{
    QFETCH(bool, crash);
    QFETCH(bool, windowsNames);
    const QString list = windowsNames ? "/LISTA.TXT" : "/lista.txt",
                  jpg = windowsNames ? "/JPG/" : "/jpg/";
    QTemporaryDir dir;
    const QString photos = dir.filePath("foto"), old = dir.filePath("vecchia");
    QVERIFY(QDir().mkpath(photos) && QDir().mkpath(old + jpg));
    // An old folder made by hand on Windows, and new pictures of every kind.
    writeBytes(old + list, "uno\r\ndue\r\ntre\r\n");
    QList<Entry> entries;
    for (int i = 1; i <= 3; ++i) {
        writeBytes(old + jpg + QStringLiteral("%1.JPG").arg(i),
                   jpegBytes(noisyImage({64, 48}, i), 80));
        writeBytes(photos + QStringLiteral("/%1.jpg").arg(i),
                   jpegBytes(noisyImage({1200, 900}, 10 + i), 80));
        entries.append({QStringLiteral("nuova %1").arg(i),
                        photos + QStringLiteral("/%1.jpg").arg(i),
                        {i == 2, 0.3}});
    }
    entries.append({"due, vecchia", old + jpg + "2.JPG", {}});
    const QStringList oldContent = readAsProgram(old);

    QStringList newContent, table;
    for (int step = -1;; ++step) { // -1: the save that nothing fails
        const QString folder = dir.filePath(QStringLiteral("prova%1").arg(step + 1));
        QVERIFY(QProcess::execute("cp", {"-a", old, folder}) == 0);
        QList<Entry> mine = entries;
        mine.last().picture = folder + jpg + "2.JPG";
        FailingOps ops;
        ops.failAt = step;
        ops.crash = crash;
        const QString cause = saveFolder(folder, mine, Shape, ops);
        if (step < 0) {
            QVERIFY2(cause.isEmpty(), qPrintable(cause));
            newContent = readAsProgram(folder);
            QCOMPARE(newContent.size(), 5);
            continue;
        }
        if (ops.calls <= step) // no step left to fail
            break;
        const QStringList afterSave = readAsProgram(folder);
        DiskFileOps disk;
        QCOMPARE(recoverFolder(folder, disk), QString()); // the next open
        const QStringList seen = readAsProgram(folder);
        QVERIFY2(seen == oldContent || seen == newContent, qPrintable(seen.join(", ")));
        // A failure the save reports leaves the old content; a save it could finish is done.
        if (!crash) {
            QCOMPARE(afterSave, seen);
            QCOMPARE(cause.isEmpty(), seen == newContent);
        }
        // The content replaced is the one backup, which the program would read as the old folder.
        if (seen == newContent)
            QCOMPARE(readAsProgram(folder + "/" + EditorFolder::Backup), oldContent);
        table << QStringLiteral("%1 %2: %3 then %4")
                     .arg(step)
                     .arg(QString(ops.failedStep).remove(folder + "/").remove(folder))
                     .arg(afterSave == oldContent ? "old"
                          : afterSave == seen     ? "new"
                                                  : "MIXED")
                     .arg(seen == oldContent ? "old" : "new");
    }
    qInfo().noquote() << "\n" + table.join("\n");
}

QTEST_MAIN(TestEditor)
#include "tst_editor.moc"
