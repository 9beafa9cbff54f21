// Names that follow their labels, and progress heard in whole percents.
#include "qt/screen_reader.h"

#include <QAccessible>
#include <QLabel>
#include <QProgressBar>

namespace korva::qt {
namespace {

// The bar's last percentage that screen readers were told of.
constexpr const char* kAnnouncedPercent = "korvaAnnouncedPercent";

AnnouncementSink g_sink = nullptr;

void Announce(QAccessibleEvent* event) {
  if (g_sink) {
    g_sink(event);
  } else {
    QAccessible::updateAccessibility(event);
  }
}

void Discard(QAccessibleEvent* /*event*/) {}

// As a screen reader works it out from the bar's range and value.
int WholePercent(const QProgressBar& bar) {
  const qint64 span = qint64(bar.maximum()) - bar.minimum();
  if (span <= 0) return 100;
  return static_cast<int>((qint64(bar.value()) - bar.minimum()) * 100 / span);
}

}  // namespace

void CaptionedNames::Add(QWidget* target, const QString& caption, const QLabel* source) {
  m_entries.push_back({target, caption, source});
}

void CaptionedNames::Refresh() const {
  for (const Entry& entry : m_entries) {
    const QString value = entry.source->text().trimmed();
    const QString name = value.isEmpty() ? entry.caption : entry.caption + u' ' + value;
    // Qt tells screen readers of a new name; an unchanged one is not said again.
    if (entry.target->accessibleName() != name) entry.target->setAccessibleName(name);
  }
}

void SetProgressValue(QProgressBar* bar, int value) {
  {
    // The bar's own notice, sent at every step, is dropped; the one below stands for it. Only
    // that notice is sent while the value is set.
    const QAccessible::UpdateHandler previous = QAccessible::installUpdateHandler(&Discard);
    bar->setValue(value);
    QAccessible::installUpdateHandler(previous);
  }
  if (!bar->isVisible()) return;  // as Qt's own notice: nothing to say of a hidden bar
  const int percent = WholePercent(*bar);
  const QVariant announced = bar->property(kAnnouncedPercent);
  if (announced.isValid() && announced.toInt() == percent) return;
  bar->setProperty(kAnnouncedPercent, percent);
  QAccessibleValueChangeEvent event(bar, bar->value());
  Announce(&event);
}

void SetAnnouncementSinkForTests(AnnouncementSink sink) { g_sink = sink; }

}  // namespace korva::qt
