#pragma once
// The window's state as the command line sets it: the address and switches come from the arguments, every row
// is checked unless the command says otherwise, and row states are kept for the command to read back.
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "chapter/controls.h"
#include "cli/command.h"

namespace lekto::cli {

class CliControls final : public Controls {
 public:
  // `address` and the filter patterns arrive as typed (UTF-8) and are kept as GBK. The given filters are
  // enabled, one rule each.
  CliControls(std::string_view address, const CommonOptions& options);

  std::string Address() const override { return address_; }
  bool Transcode() const override { return transcode_; }
  bool Preprocess() const override { return preprocess_; }
  bool FiltersEnabled() const override { return filtersEnabled_; }
  std::string FilterRules() const override { return filterRules_; }
  bool RowChecked(int row) const override;
  void SetRowState(int row, const std::string& state) override;

  // From now on only these rows (0-based) count as checked.
  void CheckOnly(const std::vector<int>& rows);
  // The last state written for `row` (GBK); empty when none was.
  std::string RowState(int row) const;

 private:
  const std::string address_;
  const bool transcode_;
  const bool preprocess_;
  const bool filtersEnabled_;
  const std::string filterRules_;

  // Download workers check rows and write states while the command waits.
  mutable std::mutex mutex_;
  std::optional<std::unordered_set<int>> checkedRows_;
  std::unordered_map<int, std::string> rowStates_;
};

}  // namespace lekto::cli
