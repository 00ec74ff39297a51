#include "desktop/ItalianTranslation.h"
#include "editor/EditorWindow.h"
#include "exercises/FormTrova2.h"

#include <QApplication>
#include <QFontMetrics>
#include <QIcon>

// The editor of a teacher's folder. Here, and only here, the exercise program's facts reach it:
// the shape of the picture boxes and the word label of the word-to-picture exercise.
int main(int argc, char *argv[])
{
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
    const QStringList args = QApplication::arguments();
    if (args.size() > 1)
        window.openFolder(args[1]);
    return QApplication::exec();
}
