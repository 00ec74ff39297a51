#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The bytes of lista.txt for words: Windows-1252 with CR LF where every word has a byte there, so
// that older copies of the program on Windows read the folder too; UTF-8 otherwise. A word whose
// field rules would change it (a comma, blanks at either end, an empty word) is written in quotes.
// Words holding a double quote or a line end cannot be written (listProblems blocks them).
QByteArray encodeWordList(const QStringList &words);

// The word a picture's file name suggests: palla_da_calcio.jpg gives "palla da calcio"; a
// camera's name (IMG_20241103_101512.jpg, DSC01234.JPG) gives an empty word.
QString wordFromFileName(const QString &fileName);
