#pragma once
// The boundary between the GBK core and Qt's Unicode strings. Qt's text boxes separate lines with a bare
// line feed; the core's texts use CR LF.
#include <QString>
#include <filesystem>
#include <string>
#include <string_view>

namespace lekto {

QString FromGbk(std::string_view gbk);
// A book's title as messages name it: 《书名》.
QString Quoted(std::string_view bookTitle);
std::string ToGbk(const QString& text);

// The same, turning CR LF into a line feed and back.
QString FromGbkLines(std::string_view gbk);
std::string ToGbkLines(const QString& text);

// File names as the file system keeps them (bytes in the locale's encoding, UTF-8 on Debian) and as Qt shows them.
QString FromPath(const std::filesystem::path& path);
std::filesystem::path ToPath(const QString& text);

// The caret of a text box as the core counts it: every character one, every line break two.
int CoreCaret(const QString& text, int qtPosition);

}  // namespace lekto
