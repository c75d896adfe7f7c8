#include "download/controls_snapshot.h"

namespace lekto {

ControlsSnapshot::ControlsSnapshot(Controls& live, int rowCount)
    : live_(live),
      address_(live.Address()),
      transcode_(live.Transcode()),
      preprocess_(live.Preprocess()),
      filtersEnabled_(live.FiltersEnabled()),
      filterRules_(live.FilterRules()) {
  checked_.reserve(static_cast<std::size_t>(rowCount > 0 ? rowCount : 0));
  for (int row = 0; row < rowCount; ++row) checked_.push_back(live.RowChecked(row));
}

bool ControlsSnapshot::RowChecked(int row) const {
  return row >= 0 && row < static_cast<int>(checked_.size()) && checked_[static_cast<std::size_t>(row)];
}

}  // namespace lekto
