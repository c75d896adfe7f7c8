#include "app/window_controls.h"

#include <QMetaObject>
#include <utility>

namespace lekto {

void WindowControls::SetAddress(std::string address) {
  std::lock_guard lock(mutex_);
  address_ = std::move(address);
}

void WindowControls::SetTranscode(bool on) {
  std::lock_guard lock(mutex_);
  transcode_ = on;
}

void WindowControls::SetPreprocess(bool on) {
  std::lock_guard lock(mutex_);
  preprocess_ = on;
}

void WindowControls::SetFiltersEnabled(bool on) {
  std::lock_guard lock(mutex_);
  filtersEnabled_ = on;
}

void WindowControls::SetFilterRules(std::string rules) {
  std::lock_guard lock(mutex_);
  filterRules_ = std::move(rules);
}

void WindowControls::SetRowChecks(std::vector<bool> checks) {
  std::lock_guard lock(mutex_);
  rowChecks_ = std::move(checks);
}

void WindowControls::SetRowChecked(int row, bool checked) {
  std::lock_guard lock(mutex_);
  if (row >= 0 && row < static_cast<int>(rowChecks_.size())) rowChecks_[row] = checked;
}

void WindowControls::SetReceiver(QObject* receiver, StateSink sink) {
  std::lock_guard lock(mutex_);
  receiver_ = receiver;
  sink_ = std::move(sink);
}

std::string WindowControls::Address() const {
  std::lock_guard lock(mutex_);
  return address_;
}

bool WindowControls::Transcode() const {
  std::lock_guard lock(mutex_);
  return transcode_;
}

bool WindowControls::Preprocess() const {
  std::lock_guard lock(mutex_);
  return preprocess_;
}

bool WindowControls::FiltersEnabled() const {
  std::lock_guard lock(mutex_);
  return filtersEnabled_;
}

std::string WindowControls::FilterRules() const {
  std::lock_guard lock(mutex_);
  return filterRules_;
}

bool WindowControls::RowChecked(int row) const {
  std::lock_guard lock(mutex_);
  return row >= 0 && row < static_cast<int>(rowChecks_.size()) && rowChecks_[row];
}

void WindowControls::Post(std::function<void()> call) {
  // Posting under the lock keeps the receiver alive for the call: the window clears it under the same lock
  // before it is destroyed.
  std::lock_guard lock(mutex_);
  if (receiver_ == nullptr) return;
  QMetaObject::invokeMethod(receiver_, std::move(call), Qt::QueuedConnection);
}

void WindowControls::SetRowState(int row, const std::string& state) {
  StateSink sink;
  {
    std::lock_guard lock(mutex_);
    sink = sink_;
  }
  if (sink) Post([sink, row, state] { sink(row, state); });
}

}  // namespace lekto
