#include "app/CommandLine.h"
#include "desktop/ItalianTranslation.h"
#include "editor/EditorWindow.h"
#include "exercises/FormTrova2.h"

#include <QApplication>
#include <QFile>
#include <QFontMetrics>
#include <QIcon>

// The editor of a teacher's folder. Here, and only here, the exercise program's facts reach it:
// the shape of the picture boxes and the word label of the word-to-picture exercise.
int main(int argc, char *argv[])
{
    const CommandLine line = readCommandLine(
        argc, argv, "diveva-prepara",
        QStringLiteral("Diveva – prepara gli esercizi: crea o cambia una cartella degli esercizi "
                       "di Diveva PAROLE/IMMAGINI (l'elenco lista.txt e le immagini jpg/1.jpg, "
                       "jpg/2.jpg...) a partire dalle foto dell'insegnante."),
        QStringLiteral("La cartella da aprire; se manca, si comincia da una cartella nuova."));
    if (line.exitCode)
        return *line.exitCode;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("diveva-prepara"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/diveva.xpm")));
    QGuiApplication::setDesktopFileName(QStringLiteral(DIVEVA_PREPARA_ID));
    installItalianTranslation(app);

    const QFontMetrics label(FormTrova2::wordFont());
    ExerciseFacts facts{FormTrova2::PictureSize, FormTrova2::WordWidth,
                        [label](const QString &word) { return label.horizontalAdvance(word); }};
    EditorWindow window(facts);
    window.show();
    if (!line.folder.isEmpty())
        window.openFolder(QFile::decodeName(line.folder));
    return QApplication::exec();
}
