#pragma once
// Message boxes the window reports with; nobody has to answer them. Successes close by themselves, failures stay.
#include <QString>

class QWidget;

namespace lekto {

inline constexpr int kMessageTimeoutMs = 1000;
// A success that says more than that it worked (chapters kept, a download stopped) stays long enough to read.
inline constexpr int kNoteTimeoutMs = 4000;

// Shows a box with OK and Cancel, modal to `owner`, and closes it after `timeoutMs`. Returns at once; the
// answer is never used.
void ShowTimedMessage(QWidget* owner, const QString& caption, const QString& text, int timeoutMs = kMessageTimeoutMs);

// The same box for a failure: it stays until the reader closes it, so that it cannot go unread.
void ShowLastingMessage(QWidget* owner, const QString& caption, const QString& text);

}  // namespace lekto
