// What a window does before every event that it or one of its controls receives, wherever the
// event loop runs (boxes and menus run their own): a job message sent to the window is handled
// first, then the window's display strings are copied to its controls.
#pragma once

#include <QObject>
#include <functional>

class QWidget;

namespace korva::qt {

class JobEvent;

class PreTranslateFilter final : public QObject {
 public:
  // Sees the application's events from now on, for `window`.
  PreTranslateFilter(QWidget* window, std::function<void(const JobEvent&)> onJobMessage,
                     std::function<void()> updateData);
  ~PreTranslateFilter() override;
  PreTranslateFilter(const PreTranslateFilter&) = delete;
  PreTranslateFilter& operator=(const PreTranslateFilter&) = delete;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* window_;
  std::function<void(const JobEvent&)> onJobMessage_;
  std::function<void()> updateData_;
};

}  // namespace korva::qt
