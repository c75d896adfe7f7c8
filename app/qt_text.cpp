#include "app/qt_text.h"

#include "text/text_codec.h"

#include <QFile>
#include <QList>

namespace lekto {

QString FromGbk(std::string_view gbk) {
  return QString::fromStdString(text::AnsiToUtf8(gbk));
}

std::string ToGbk(const QString& text) {
  return text::Utf8ToAnsi(text.toStdString());
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
  // character outside GBK becomes one "?" in the core, so counting code points matches it too.
  const QString before = text.left(qtPosition);
  return static_cast<int>(before.toUcs4().size() + before.count(QLatin1Char('\n')));
}

}  // namespace lekto
