#include "download/book_name.h"

#include "text/gbk_text.h"
#include "text/text_codec.h"

#include <array>
#include <cstdio>

namespace lekto {

std::string NamedBookTitle(std::string_view title, const std::tm& localTime) {
  if (!text::Trim(title).empty()) return std::string(title);
  std::array<char, 64> stamp{};
  std::snprintf(stamp.data(), stamp.size(), "_%04d-%02d-%02d_%02d-%02d-%02d", localTime.tm_year + 1900,
                localTime.tm_mon + 1, localTime.tm_mday, localTime.tm_hour, localTime.tm_min, localTime.tm_sec);
  static const std::string kUnnamed = text::Gbk(u8"未命名");
  return kUnnamed + stamp.data();
}

std::tm LocalTimeNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local;
}

}  // namespace lekto
