#pragma once

#include <QByteArray>
#include <QColor>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A folder the program can start in, made by the test: a word list and small JPEGs, each of
// one flat colour so a test can tell the pictures apart. It becomes the working directory for
// as long as it lives.
class TestFolder {
public:
    TestFolder();
    ~TestFolder();

    QString path() const { return m_dir.path(); }
    // Writes one word per line (CR LF, UTF-8) and pictures 1..count of words.
    void writeWords(const QStringList &words);
    // Writes jpg/n.jpg in the colour pictureColour(n).
    void writePicture(int n, int width = 40, int height = 30);
    void writePictures(int count);

    static QColor pictureColour(int n);
    // The picture number whose colour the image shows at its centre, or 0.
    static int pictureNumberOf(const QImage &image);

private:
    QTemporaryDir m_dir;
    QString m_previous;
};
