#include "app/qt_text.h"

#include "text/text_codec.h"

#include <QCoreApplication>
#include <QFile>
#include <QList>

namespace lekto {

QString FromGbk(std::string_view gbk) {
  return QString::fromStdString(text::AnsiToUtf8(gbk));
}

// Typed text keeps the characters GBK lacks as their four-byte forms, as page text does: a title or a filter rule
// with such a character reaches a UTF-8 or EPUB book (and the rule its text) whole.
std::string ToGbk(const QString& text) {
  return text::Utf8ToText(text.toStdString());
}

QString Quoted(std::string_view bookTitle) {
  return QCoreApplication::translate("lekto::MainWindow", "《%1》").arg(FromGbk(bookTitle));
}

QString FromGbkLines(std::string_view gbk) {
  QString text = FromGbk(gbk);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return text;
}

std::string ToGbkLines(const QString& text) {
  QString lines = text;
  lines.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
  return ToGbk(lines);
}

QString FromPath(const std::filesystem::path& path) {
  return QFile::decodeName(path.c_str());
}

std::filesystem::path ToPath(const QString& text) {
  return QFile::encodeName(text).toStdString();
}

int CoreCaret(const QString& text, int qtPosition) {
  // Qt counts UTF-16 units and a line break as one; the core counts characters and a line break as two. A
  // character outside GBK is one four-byte form in the core, one code point here.
  const QString before = text.left(qtPosition);
  return static_cast<int>(before.toUcs4().size() + before.count(QLatin1Char('\n')));
}

}  // namespace lekto
