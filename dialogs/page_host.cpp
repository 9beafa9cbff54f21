// The page host's tab rule.
#include "dialogs/page_host.h"

#include <algorithm>

#include "device/link_mode.h"
#include "dialogs/service_page.h"
#include "jobs/job_messages.h"
#include "jobs/job_state.h"

namespace korva::dialogs {

PageHost::PageHost(PageHostFace& face, const std::array<ServicePage*, kTabCount>& pages)
    : face_(face), pages_(pages) {
  for (ServicePage* page : pages_) page->SetJobStateListener([this] { OnPageJobStateChanged(); });
  face_.ShowTab(shown_);
  RefreshTabs();
}

bool PageHost::JobRunning() const {
  return std::any_of(pages_.begin(), pages_.end(),
                     [](const ServicePage* page) { return page->JobRunning(); });
}

bool PageHost::MayShow(int index) const {
  if (index < 0 || index >= kTabCount || JobStatus.load() != kJobIdle || JobRunning()) return false;
  return index == kTabBluetooth || LinkMode.load() != kLinkBluetooth;
}

void PageHost::OnSelchangeTab(int index) {
  if (index == shown_) return;
  // A refused change puts the tab back on the page that stays.
  if (MayShow(index)) shown_ = index;
  face_.ShowTab(shown_);
  RefreshTabs();
}

void PageHost::RefreshTabs() {
  face_.EnableTabBar(!JobRunning());
  const bool handedOver = LinkMode.load() == kLinkBluetooth;
  for (int tab = 0; tab < kTabCount; ++tab)
    face_.EnableTab(tab, tab == shown_ || tab == kTabBluetooth || !handedOver);
}

void PageHost::OnPageJobStateChanged() {
  RefreshTabs();
  if (listener_) listener_();
}

}  // namespace korva::dialogs
