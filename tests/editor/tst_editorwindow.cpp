#include "editor/EditorWindow.h"
#include "editor/EntryTable.h"
#include "tests/support/TestPictures.h"

#include <QFile>
#include <QMimeData>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

namespace {

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

} // namespace

// A teacher's session, through the window's own keys: add pictures, edit a word, reorder, undo,
// save, reopen, and the folder is the same.
class TestEditorWindow : public QObject {
    Q_OBJECT
private slots:
    void sessionGivesTheSameFolder()
    {
        QTemporaryDir dir; // the teacher's photos, and the folder saved beside them
        QList<QUrl> files;
        for (const char *name : {"cane", "gatto_nero", "IMG_20241103_101512", "mela", "luna"}) {
            files << QUrl::fromLocalFile(dir.filePath(name + QStringLiteral(".jpg")));
            QFile f(files.last().toLocalFile());
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(jpegBytes(noisyImage({160 + 40 * int(files.size()), 120}, files.size()), 85));
        }
        EditorWindow w(ExerciseFacts{{121, 129}, 129, {}});
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        // Dropped from the file manager on the empty list.
        QMimeData drop;
        drop.setUrls(files);
        QVERIFY(w.table()->dropMimeData(&drop, Qt::CopyAction, -1, -1, {}));
        QVERIFY(QSignalSpy(&w, &EditorWindow::importFinished).wait(30000));

        // The camera's picture gets its word, typed in place.
        w.view()->setCurrentIndex(w.table()->index(2, EntryTable::WordColumn));
        QTest::keyClick(w.view(), Qt::Key_F2);
        QTest::keyClicks(QApplication::focusWidget(), "topo");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QTRY_COMPARE(w.table()->entries()[2].word, QString("topo")); // committed after the key
        // "luna" to the top by keys; the last step undone.
        w.view()->setCurrentIndex(w.table()->index(4, EntryTable::WordColumn));
        for (int i = 0; i < 4; ++i)
            QTest::keyClick(w.view(), Qt::Key_Up, Qt::AltModifier);
        QTest::keyClick(w.view(), Qt::Key_Z, Qt::ControlModifier);
        // Closing with changes not saved asks first; Esc (Annulla) keeps the window and its rows.
        QWidget *asked = nullptr;
        QTimer::singleShot(
            0, [&] { QTest::keyClick(asked = QApplication::activeModalWidget(), Qt::Key_Escape); });
        QVERIFY(w.isWindowModified() && !w.close() && asked);

        const int order[] = {0, 4, 1, 2, 3};
        for (int save = 0; save < 2; ++save) { // saved, then opened again and saved unchanged
            QVERIFY(w.saveTo(dir.path()) && !w.isWindowModified());
            QCOMPARE(fileBytes(dir.filePath("lista.txt")),
                     QByteArray("cane\r\nluna\r\ngatto nero\r\ntopo\r\nmela\r\n"));
            for (int k = 0; k < 5; ++k) // the teacher's JPEGs, copied as they are
                QCOMPARE(fileBytes(dir.filePath(QStringLiteral("jpg/%1.jpg").arg(k + 1))),
                         fileBytes(files[order[k]].toLocalFile()));
            QVERIFY(w.openFolder(dir.path()));
            QVERIFY(QSignalSpy(&w, &EditorWindow::importFinished).wait(30000));
        }
    }
};

QTEST_MAIN(TestEditorWindow)
#include "tst_editorwindow.moc"
