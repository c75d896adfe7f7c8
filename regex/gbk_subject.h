#pragma once
// A GBK text together with the UTF-8 form PCRE2 searches, and the way back from UTF-8 offsets to GBK offsets,
// so that match results are cut from the original bytes (nothing is lost to a round trip through Unicode).
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace lekto::regex {

// The code points of a GBK text; an invalid or unmapped character becomes U+FFFD.
std::u32string DecodeGbk(std::string_view gbk);

class GbkSubject {
 public:
  GbkSubject() = default;
  explicit GbkSubject(std::string gbk);

  const std::string& Gbk() const { return gbk_; }
  // Valid UTF-8 by construction (no surrogates, nothing above U+10FFFF).
  const std::string& Utf8() const { return utf8_; }

  // A position in both texts at the same character boundary.
  struct Cursor {
    std::size_t utf8 = 0;
    std::size_t gbk = 0;
  };
  // The GBK offset of a UTF-8 offset that lies on a character boundary. `cursor` remembers the last answer so
  // that increasing offsets (the matches of one run, in order) cost one pass over the text in total.
  std::size_t ToGbkOffset(std::size_t utf8Offset, Cursor& cursor) const;
  std::size_t ToGbkOffset(std::size_t utf8Offset) const;

 private:
  std::string gbk_;
  std::string utf8_;
  std::vector<Cursor> checkpoints_;  // one about every kCheckpointStep UTF-8 bytes, starting at {0, 0}
};

}  // namespace lekto::regex
