// What a screen reader hears of the windows beyond the controls' own texts. Some labels say
// little alone: a version or a percentage is named with its caption ("Current firmware
// version: Ver1.38.250", "Percentage: 42%"), the USB lamp by the state it shows ("USB Status:
// Connected"); each name follows its label, and Qt tells screen readers of every change. A
// job's progress bar moves with every report the job sends, many a second: screen readers
// hear of it only when its whole percentage changes.
#pragma once

#include <QString>
#include <vector>

class QAccessibleEvent;
class QLabel;
class QProgressBar;
class QWidget;

namespace korva::qt {

// The caption of a percentage label, which has none on screen.
inline constexpr const char* kPercentageCaption = "Percentage:";

class CaptionedNames {
 public:
  // `target` is named `caption` and the text of `source` ("USB Status: Connected"), or
  // `caption` alone while that text is blank.
  void Add(QWidget* target, const QString& caption, const QLabel* source);
  // After the window's texts have reached their labels: sets the names that changed.
  void Refresh() const;

 private:
  struct Entry {
    QWidget* target;
    QString caption;
    const QLabel* source;
  };
  std::vector<Entry> m_entries;
};

// Moves `bar` to `value`. Screen readers hear of it when the bar's whole percentage (what they
// say) is another than the one they last heard, not at every step.
void SetProgressValue(QProgressBar* bar, int value);

// Where SetProgressValue's notices go: Qt's accessibility, which hands them to the platform's
// screen-reader bridge. Tests record them instead; null restores Qt's.
using AnnouncementSink = void (*)(QAccessibleEvent* event);
void SetAnnouncementSinkForTests(AnnouncementSink sink);

}  // namespace korva::qt
