#include "chapter/body_second_opinion.h"

#include "chapter/body_location.h"
#include "html/page_reading.h"

#include <optional>

namespace lekto {

namespace {
// Below this many Chinese characters a pick may be a stray Chinese label on a page written in another script.
constexpr int kSureHan = 50;
// A best block shorter than this is a notice or an error page ("not found"), not a chapter the pick missed.
constexpr int kMinBodyUnits = 30;
}  // namespace

bool BodyPickFailed(int pickHan, int pageHan, const std::function<int()>& bestUnits) {
  if (pickHan >= kSureHan && static_cast<long long>(pickHan) * kFarLess >= pageHan) return false;
  const int best = bestUnits();
  return best >= kMinBodyUnits && static_cast<long long>(pickHan) * kFarLess < best;
}

std::string PickChapterBody(std::string_view page) {
  const BodyCandidate pick = FindBodyCandidate(page);
  std::optional<html::PageReading> reading;
  const auto bestUnits = [&] {
    reading = html::ReadPage(page);
    const html::TextBlock* best = html::BestBlock(*reading);
    return best ? best->units : 0;
  };
  if (!BodyPickFailed(pick.han, pick.pageHan, bestUnits)) return std::string(pick.text);
  return html::BestBlock(*reading)->text;
}

}  // namespace lekto
