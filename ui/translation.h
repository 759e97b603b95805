#pragma once

// Qt's own texts (standard buttons, the colour and file dialogs) in Slovak, like the program's.

class QCoreApplication;

/// Installs Qt's Slovak translation into `application`, whatever the user's locale, since every
/// text of the program is Slovak. Returns false, changing nothing, when the translation is not
/// installed; Qt's texts then stay English.
bool installSlovakQtTranslation(QCoreApplication& application);
