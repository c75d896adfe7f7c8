#pragma once
// The pictures a book takes as its cover, told by their first bytes: a server's content type is often wrong, and
// an error page, a placeholder HTML page or a cut-off transfer is no picture a reader can show.
#include <cstddef>
#include <optional>
#include <string_view>

namespace lekto {

// Larger than any cover a novel site serves (they are a few hundred kilobytes): a page that size is no cover.
inline constexpr std::size_t kMaxCoverBytes = 5 * 1024 * 1024;

struct ImageType {
  std::string_view mediaType;  // "image/jpeg"
  std::string_view extension;  // ".jpg"
};

// JPEG, PNG, GIF or WebP by its signature; std::nullopt for anything else, and for bytes past kMaxCoverBytes.
std::optional<ImageType> CoverImageType(std::string_view bytes);

}  // namespace lekto
