#pragma once

class QCoreApplication;

// Qt's own Italian texts (the standard buttons read "Sì" and "No"), installed whatever the
// user's locale, since every text of the program is Italian. Returns false, and changes nothing,
// where the translation is not installed: the program then works with Qt's English buttons.
bool installItalianTranslation(QCoreApplication &app);
