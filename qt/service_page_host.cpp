// The service page host's face: tabs, pages, and the room they take.
#include "qt/service_page_host.h"

#include <QCoreApplication>
#include <QEvent>
#include <QScreen>
#include <QSignalBlocker>
#include <QTabBar>
#include <QTabWidget>
#include <algorithm>

#include "qt/bluetooth_page_dlg.h"
#include "qt/firmware_page_dlg.h"
#include "qt/ir_page_dlg.h"
#include "qt/welcome_dlg.h"

namespace korva::qt {

ServicePageHost::ServicePageHost(QTabWidget* tab)
    : m_tab(tab),
      m_pageMcu(std::make_unique<CMcuPageDlg>()),
      m_pageDsp(std::make_unique<CDspPageDlg>()),
      m_pageBluetooth(std::make_unique<CBluetoothPageDlg>()),
      m_pageBattery(std::make_unique<CBatteryPageDlg>()),
      m_pageIr(std::make_unique<CIrPageDlg>()) {
  m_pageOfTab = {m_pageMcu.get(), m_pageDsp.get(), m_pageIr.get(), m_pageBattery.get(),
                 m_pageBluetooth.get()};
  std::array<dialogs::ServicePage*, kTabCount> pages{};
  for (int i = 0; i < kTabCount; ++i) {
    m_tab->addTab(Page(i), QString::fromLatin1(dialogs::kTabTitles[i]));
    pages[static_cast<std::size_t>(i)] = &m_pageOfTab[static_cast<std::size_t>(i)]->Logic();
  }
  m_tab->setAccessibleName(QString::fromLatin1(kServiceModeMenuText));
  m_tab->setEnabled(true);
  m_tab->show();
  dialogs::PageHostFace& face = *this;
  m_logic = std::make_unique<dialogs::PageHost>(face, pages);
  connect(m_tab, &QTabWidget::currentChanged, this,
          [this](int index) { m_logic->OnSelchangeTab(index); });
  m_tab->tabBar()->installEventFilter(this);
}

ServicePageHost::~ServicePageHost() {
  // Whatever ended the event loop, a running job still posts to its page and prepares its bar:
  // the page stays until it has handled the job's final message. Whoever listened is going.
  m_logic->SetJobStateListener(nullptr);
  while (JobRunning()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  m_tab->tabBar()->removeEventFilter(this);
  disconnect(m_tab, nullptr, this, nullptr);
}

void ServicePageHost::PlaceIn(QWidget* window, QWidget* above,
                              const std::vector<QWidget*>& bottomRow) {
  const int margin = above->x();
  // The pages have a fixed size and no size hint: the tabs need at least their size.
  const QSize tabSize = m_tab->minimumSizeHint();
  const int width = std::max(window->width(), tabSize.width() + 2 * margin);
  const int tabTop = above->geometry().bottom() + 1 + margin;
  m_tab->setGeometry((width - tabSize.width()) / 2, tabTop, tabSize.width(), tabSize.height());
  // In a wider window the frame above spans it as the tabs do.
  if (width > window->width()) above->resize(width - 2 * margin, above->height());

  int height = window->height();
  const int rowTop = tabTop + tabSize.height() + margin;
  for (QWidget* widget : bottomRow) {
    height = window->height() - widget->y() + rowTop;  // keeps the row's distance from the bottom
    widget->move(width - (window->width() - widget->x()), rowTop);
  }
  window->setFixedSize(width, height);
  ChainFocus(bottomRow);

  // A window that grew while shown stays on its screen.
  if (window->isVisible() && window->screen()) {
    const QRect room = window->screen()->availableGeometry();
    QRect frame = window->frameGeometry();
    frame.moveBottom(std::min(frame.bottom(), room.bottom()));
    frame.moveRight(std::min(frame.right(), room.right()));
    frame.moveTopLeft(
        QPoint(std::max(frame.left(), room.left()), std::max(frame.top(), room.top())));
    window->move(frame.topLeft());
  }
}

QWidget* ServicePageHost::Page(int tab) const { return m_pageOfTab[static_cast<std::size_t>(tab)]; }

void ServicePageHost::ChainFocus(const std::vector<QWidget*>& bottomRow) {
  // The pages in the tabs' order; the keyboard passes the hidden pages' controls by.
  std::vector<QWidget*> order{m_tab->tabBar()};
  for (CServicePageDlg* page : m_pageOfTab) {
    const std::vector<QWidget*> controls = page->KeyboardOrder();
    order.insert(order.end(), controls.begin(), controls.end());
  }
  order.insert(order.end(), bottomRow.begin(), bottomRow.end());
  for (std::size_t i = 1; i < order.size(); ++i) QWidget::setTabOrder(order[i - 1], order[i]);
  m_pageOfTab[static_cast<std::size_t>(ShownTab())]->FocusFirstStep();
}

void ServicePageHost::ShowTab(int tab) {
  // The tab widget shows the page of its current tab.
  const QSignalBlocker blocker(m_tab);
  m_tab->setCurrentIndex(tab);
}

void ServicePageHost::EnableTabBar(bool enabled) { m_tab->tabBar()->setEnabled(enabled); }

void ServicePageHost::EnableTab(int tab, bool enabled) {
  m_tab->tabBar()->setTabEnabled(tab, enabled);
}

bool ServicePageHost::eventFilter(QObject* /*watched*/, QEvent* event) {
  // The link may have changed since the tabs were last looked at: before the tab bar acts on
  // a click or a key, or as the pointer comes to it.
  switch (event->type()) {
    case QEvent::Enter:
    case QEvent::MouseButtonPress:
    case QEvent::KeyPress:
      m_logic->RefreshTabs();
      break;
    default:
      break;
  }
  return false;
}

}  // namespace korva::qt
