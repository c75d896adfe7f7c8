#pragma once
// The window's side of Controls. The core reads the controls from download workers while the window's thread
// changes them, so the window mirrors every value here on each change, under a mutex, and the core reads the
// mirror. Row states written by workers travel to the window's thread as queued calls.
#include "chapter/controls.h"

#include <QObject>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace lekto {

class WindowControls final : public Controls {
 public:
  // Runs on the window's thread for each row state a worker writes.
  using StateSink = std::function<void(int row, const std::string& state)>;

  // Called on the window's thread whenever the matching control changes. Texts are GBK.
  void SetAddress(std::string address);
  void SetTranscode(bool on);
  void SetPreprocess(bool on);
  void SetFiltersEnabled(bool on);
  void SetFilterRules(std::string rules);
  void SetRowChecks(std::vector<bool> checks);
  void SetRowChecked(int row, bool checked);

  // Where calls from other threads go: they are queued onto `receiver`'s thread, and row states reach `sink`
  // there. A null receiver drops them; the window sets one before it goes away, so that late workers post
  // nothing to it.
  void SetReceiver(QObject* receiver, StateSink sink);
  // Queues `call` onto the receiver's thread; dropped when there is no receiver.
  void Post(std::function<void()> call);

  std::string Address() const override;
  bool Transcode() const override;
  bool Preprocess() const override;
  bool FiltersEnabled() const override;
  std::string FilterRules() const override;
  bool RowChecked(int row) const override;
  void SetRowState(int row, const std::string& state) override;

 private:
  mutable std::mutex mutex_;
  std::string address_;
  bool transcode_ = false;
  bool preprocess_ = false;
  bool filtersEnabled_ = false;
  std::string filterRules_;
  std::vector<bool> rowChecks_;
  QObject* receiver_ = nullptr;
  StateSink sink_;
};

}  // namespace lekto
