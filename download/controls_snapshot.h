#pragma once
// ControlsSnapshot: the window's state as it was when a download started. A download reads the address, the
// switches, the filter rules and the check marks from here, so editing the window while it runs changes nothing
// about where or how its chapters are fetched. Row states are still written through to the live controls.
#include "chapter/controls.h"

#include <string>
#include <vector>

namespace lekto {

class ControlsSnapshot final : public Controls {
 public:
  // Reads every value of `live` once, and the check marks of rows 0 to rowCount - 1. `live` must outlive the
  // snapshot.
  ControlsSnapshot(Controls& live, int rowCount);

  std::string Address() const override { return address_; }
  bool Transcode() const override { return transcode_; }
  bool Preprocess() const override { return preprocess_; }
  bool FiltersEnabled() const override { return filtersEnabled_; }
  std::string FilterRules() const override { return filterRules_; }
  bool RowChecked(int row) const override;
  void SetRowState(int row, const std::string& state) override { live_.SetRowState(row, state); }

 private:
  Controls& live_;
  const std::string address_;
  const bool transcode_;
  const bool preprocess_;
  const bool filtersEnabled_;
  const std::string filterRules_;
  std::vector<bool> checked_;
};

}  // namespace lekto
