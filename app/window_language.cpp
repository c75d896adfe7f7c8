#include "app/window_language.h"

#include "app/qt_text.h"
#include "download/work_folders.h"

#include <QCoreApplication>
#include <QDir>
#include <QSettings>
#include <QTranslator>
#include <memory>

namespace lekto {

namespace {

const QString kLanguageKey = QStringLiteral("ui/language");

std::unique_ptr<QTranslator>& Installed() {
  static std::unique_ptr<QTranslator> translator;
  return translator;
}

// The folder the translation was last found in: a switch from the menu looks there first.
QString& FoundIn() {
  static QString folder;
  return folder;
}

}  // namespace

QString LanguageForLocale(const QLocale& locale) {
  return locale.language() == QLocale::Chinese ? kChinese : kEnglish;
}

QString KeptLanguageChoice() {
  const QString kept = QSettings().value(kLanguageKey).toString();
  return kept == kChinese || kept == kEnglish ? kept : QString();
}

QString ChosenLanguage() {
  const QString kept = KeptLanguageChoice();
  return kept.isEmpty() ? LanguageForLocale(QLocale::system()) : kept;
}

void KeepLanguageChoice(const QString& language) {
  QSettings settings;
  if (language.isEmpty()) {
    settings.remove(kLanguageKey);
  } else {
    settings.setValue(kLanguageKey, language);
  }
}

QStringList TranslationFolders() {
  const QString program = FromPath(ProgramFolder());
  QStringList folders = {program + QStringLiteral("/translations"),
                         program + QStringLiteral("/../share/lekto/translations"),
                         QStringLiteral(LEKTO_INSTALL_DATADIR "/lekto/translations")};
  if (!FoundIn().isEmpty()) folders.prepend(FoundIn());
  return folders;
}

bool UseLanguage(const QString& language, const QStringList& folders) {
  std::unique_ptr<QTranslator>& installed = Installed();
  if (language == kEnglish) {
    auto translator = std::make_unique<QTranslator>();
    bool loaded = false;
    for (const QString& folder : folders) {
      if (translator->load(QStringLiteral("lekto_en"), QDir::cleanPath(folder))) {
        loaded = true;
        FoundIn() = folder;
        break;
      }
    }
    if (!loaded) return false;
    if (installed) QCoreApplication::removeTranslator(installed.get());
    QCoreApplication::installTranslator(translator.get());
    installed = std::move(translator);
    return true;
  }
  if (installed) {
    QCoreApplication::removeTranslator(installed.get());
    installed.reset();
  }
  return true;
}

QString CurrentLanguage() {
  return Installed() ? kEnglish : kChinese;
}

}  // namespace lekto
