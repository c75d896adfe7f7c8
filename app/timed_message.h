#pragma once
// Message boxes that close by themselves: the window reports with them and nobody has to answer.
#include <QString>

class QWidget;

namespace lekto {

inline constexpr int kMessageTimeoutMs = 1000;

// Shows a box with OK and Cancel, modal to `owner`, and closes it after `timeoutMs`. Returns at once; the
// answer is never used.
void ShowTimedMessage(QWidget* owner, const QString& caption, const QString& text, int timeoutMs = kMessageTimeoutMs);

}  // namespace lekto
