#include "cli/cli_controls.h"

#include "text/text_codec.h"

namespace lekto::cli {
namespace {

// The filter box holds one rule per line, lines separated by CR LF.
std::string FilterBox(const std::vector<std::string>& filters) {
  std::string box;
  for (std::size_t i = 0; i < filters.size(); ++i) {
    if (i > 0) box += "\r\n";
    box += text::Utf8ToText(filters[i]);
  }
  return box;
}

}  // namespace

CliControls::CliControls(std::string_view address, const CommonOptions& options)
    : address_(text::Utf8ToText(address)),
      transcode_(options.transcode),
      preprocess_(options.preprocess),
      filtersEnabled_(!options.filters.empty()),
      filterRules_(FilterBox(options.filters)) {}

bool CliControls::RowChecked(int row) const {
  std::lock_guard lock(mutex_);
  return !checkedRows_ || checkedRows_->contains(row);
}

void CliControls::SetRowState(int row, const std::string& state) {
  std::lock_guard lock(mutex_);
  rowStates_[row] = state;
}

void CliControls::CheckOnly(const std::vector<int>& rows) {
  std::lock_guard lock(mutex_);
  checkedRows_.emplace(rows.begin(), rows.end());
}

std::string CliControls::RowState(int row) const {
  std::lock_guard lock(mutex_);
  const auto it = rowStates_.find(row);
  return it == rowStates_.end() ? std::string() : it->second;
}

}  // namespace lekto::cli
