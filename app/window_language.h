#pragma once
// The window's language. Chinese is the source text: it needs no translation file and is what the window speaks
// on a Chinese system. Any other system gets the English translation (lekto_en.qm, built from the .ts file under
// app/translations and installed beside the program's data). The reader's choice from the menu is kept in the
// settings and wins over the system's.
#include <QLocale>
#include <QString>
#include <QStringList>

namespace lekto {

inline const QString kChinese = QStringLiteral("zh");
inline const QString kEnglish = QStringLiteral("en");

// "zh" for a Chinese locale, "en" for any other.
QString LanguageForLocale(const QLocale& locale);

// The reader's choice kept in the settings, else the system's language.
QString ChosenLanguage();
// Keeps `language` ("zh", "en", or empty to follow the system) for the next runs.
void KeepLanguageChoice(const QString& language);
// The kept choice itself: "zh", "en", or empty when the window follows the system.
QString KeptLanguageChoice();

// Where lekto_en.qm is looked for: where it was last found, beside the program (a build or a portable copy) and
// in the installed data.
QStringList TranslationFolders();

// Makes the application speak `language`: the English translation is loaded from the first of `folders` that
// holds it and installed; Chinese removes it. Every widget is told (QEvent::LanguageChange). False when the
// translation could not be found; the window then stays Chinese.
bool UseLanguage(const QString& language, const QStringList& folders = TranslationFolders());

// The language the application speaks now.
QString CurrentLanguage();

}  // namespace lekto
