#pragma once
// FakeControls: the window's state for tests, as plain settable fields behind a mutex, so download workers may
// read it while the test thread changes it. Row states written by the core are recorded. Texts are GBK.
#include "chapter/controls.h"

#include <map>
#include <mutex>
#include <set>
#include <string>
#include <utility>

namespace lekto::testsupport {

class FakeControls final : public Controls {
 public:
  FakeControls() = default;
  explicit FakeControls(std::string address) : address_(std::move(address)) {}

  std::string Address() const override { return Get(address_); }
  bool Transcode() const override { return Get(transcode_); }
  bool Preprocess() const override { return Get(preprocess_); }
  bool FiltersEnabled() const override { return Get(filtersEnabled_); }
  std::string FilterRules() const override { return Get(filterRules_); }
  // Every row is ticked unless unticked here.
  bool RowChecked(int row) const override {
    std::lock_guard lock(mutex_);
    return unticked_.count(row) == 0;
  }
  void SetRowState(int row, const std::string& state) override {
    std::lock_guard lock(mutex_);
    states_[row] = state;
  }

  void SetAddress(std::string address) { Set(address_, std::move(address)); }
  void SetTranscode(bool on) { Set(transcode_, on); }
  void SetPreprocess(bool on) { Set(preprocess_, on); }
  // Ticks "启用" and sets the rule box (lines joined by CR LF).
  void SetFilters(bool enabled, std::string rules = {}) {
    std::lock_guard lock(mutex_);
    filtersEnabled_ = enabled;
    filterRules_ = std::move(rules);
  }
  void SetRowChecked(int row, bool checked) {
    std::lock_guard lock(mutex_);
    if (checked) {
      unticked_.erase(row);
    } else {
      unticked_.insert(row);
    }
  }

  // The state last written for a row, empty when none was.
  std::string RowState(int row) const {
    std::lock_guard lock(mutex_);
    const auto it = states_.find(row);
    return it == states_.end() ? std::string() : it->second;
  }
  std::map<int, std::string> RowStates() const { return Get(states_); }

 private:
  template <typename T>
  T Get(const T& field) const {
    std::lock_guard lock(mutex_);
    return field;
  }
  template <typename T>
  void Set(T& field, T value) {
    std::lock_guard lock(mutex_);
    field = std::move(value);
  }

  mutable std::mutex mutex_;
  std::string address_;
  bool transcode_ = false;
  bool preprocess_ = false;
  bool filtersEnabled_ = false;
  std::string filterRules_;
  std::set<int> unticked_;
  std::map<int, std::string> states_;
};

}  // namespace lekto::testsupport
