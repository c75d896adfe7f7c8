#pragma once
// The window's state that the core reads at the moment it needs it, and the one thing it writes back.
// The Qt window, the command-line front end and the tests each implement this. Every method may be called
// from a download worker thread while the window's thread runs, so implementations must be thread-safe.
// Texts are GBK.
#include <string>

namespace lekto {

class Controls {
 public:
  virtual ~Controls() = default;
  virtual std::string Address() const = 0;      // the table-of-contents address box
  virtual bool Transcode() const = 0;           // "转码"
  virtual bool Preprocess() const = 0;          // "预处理"
  virtual bool FiltersEnabled() const = 0;      // "启用"
  virtual std::string FilterRules() const = 0;  // the filter-rule box, lines joined by CR LF
  virtual bool RowChecked(int row) const = 0;   // 0-based row of the chapter list
  virtual void SetRowState(int row, const std::string& state) = 0;
};

}  // namespace lekto
