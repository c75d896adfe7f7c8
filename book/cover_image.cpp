#include "book/cover_image.h"

namespace lekto {

std::optional<ImageType> CoverImageType(std::string_view bytes) {
  if (bytes.size() > kMaxCoverBytes) return std::nullopt;
  if (bytes.starts_with("\xFF\xD8\xFF")) return ImageType{"image/jpeg", ".jpg"};
  if (bytes.starts_with("\x89PNG\r\n\x1A\n")) return ImageType{"image/png", ".png"};
  if (bytes.starts_with("GIF87a") || bytes.starts_with("GIF89a")) return ImageType{"image/gif", ".gif"};
  if (bytes.size() >= 12 && bytes.starts_with("RIFF") && bytes.substr(8, 4) == "WEBP") {
    return ImageType{"image/webp", ".webp"};
  }
  return std::nullopt;
}

}  // namespace lekto
