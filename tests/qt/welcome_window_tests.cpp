// The welcome window: its probes at the start and on device changes (also while hidden behind
// the main update window), the About item, "Enter" and "Exit", and the whole main road from
// "Enter" to the final text against the virtual amp.
#include <QContextMenuEvent>
#include <QMenu>
#include <QTabWidget>
#include <optional>
#include <thread>

#include "device/hid_transport.h"
#include "images/embedded_images.h"
#include "jobs/update_texts.h"
#include "qt/device_watchers.h"
#include "qt/updater_app.h"
#include "qt/welcome_dlg.h"
#include "tests/qt/qt_test_support.h"

namespace korva::testing {
namespace {

using qt::CWelcomeDlg;

class WelcomeWindowTest : public WindowTest {
 protected:
  WelcomeWindowTest() : watcher(sim.bus), welcome(&watcher) {}

  qt::VirtualBusWatcher watcher;
  CWelcomeDlg welcome;
};

TEST_F(WelcomeWindowTest, ShowsTheInstructions) {
  welcome.show();
  EXPECT_EQ(welcome.windowTitle(), "ORVANTE KORVA Updater");
  std::vector<std::string> texts;
  for (QLabel* label : welcome.findChildren<QLabel*>())
    texts.push_back(label->text().toStdString());
  EXPECT_EQ(texts,
            (std::vector<std::string>{
                "Welcome to the KORVA firmware updater.",
                "This application will update the firmware of your KORVA.",
                "Update preparation:",
                "1.Connect the USB cable to the KORVA.",
                "2.Press and hold the \"Guitar Cab Emulation\" button and turn on the KORVA.",
                "Click \"Enter\" to begin.",
            }));
  EXPECT_TRUE(Child<QPushButton>(&welcome, "btnEnter")->isDefault());
  QWidget* tab = Child(&welcome, "m_tab");
  EXPECT_FALSE(tab->isVisible());
  EXPECT_FALSE(tab->isEnabled());
}

TEST_F(WelcomeWindowTest, ProbesAtTheStart) {
  welcome.show();
  Settle();
  EXPECT_EQ(LinkMode.load(), kLinkHid);
  EXPECT_TRUE(sim.module.Calls().empty());
}

TEST_F(WelcomeWindowTest, AnAbsentAmpAtTheStartOnlyClosesTheLibrary) {
  sim.korva.Unplug();
  LinkMode.store(kLinkHid);
  welcome.show();
  Settle();
  EXPECT_EQ(LinkMode.load(), kLinkNone);
  EXPECT_EQ(sim.module.Calls(), (std::vector<std::string>{"disconnect"}));
}

TEST_F(WelcomeWindowTest, DeviceChangesFromAnyThreadProbeAgainThroughTheUiThread) {
  sim.korva.Unplug();
  welcome.show();
  Settle();
  ASSERT_EQ(LinkMode.load(), kLinkNone);
  std::thread([&] { sim.korva.Plug(); }).join();
  // Not yet: the notification reaches the UI thread first, which asks the device thread.
  EXPECT_EQ(LinkMode.load(), kLinkNone);
  ASSERT_TRUE(WaitUntil([] { return LinkMode.load() == kLinkHid; }));

  sim.korva.Unplug();
  ASSERT_TRUE(WaitUntil([] { return LinkMode.load() == kLinkNone; }));
  EXPECT_EQ(sim.module.Calls(),
            (std::vector<std::string>{"disconnect", "connect", "lasterror", "disconnect"}));
}

// Between device changes the amp is opened where it was found; after one, it is looked for
// among all interfaces again: its path may now lead elsewhere.
TEST_F(WelcomeWindowTest, ADeviceChangeMakesTheNextProbeLookForTheAmpAfresh) {
  welcome.show();
  Settle();
  ASSERT_EQ(LinkMode.load(), kLinkHid);
  ASSERT_EQ(IsDevicePresent(), 1);
  const int listed = sim.bus.Enumerations();
  OtherHidDevice keyboard;
  sim.bus.Attach(&keyboard);
  ASSERT_TRUE(WaitUntil([&] { return sim.bus.Enumerations() == listed + 1; }));
  Settle();
  EXPECT_EQ(LinkMode.load(), kLinkHid);
  EXPECT_EQ(IsDevicePresent(), 1);
  EXPECT_EQ(sim.bus.Enumerations(), listed + 1);
  sim.bus.Detach(&keyboard);
  Settle();
}

TEST_F(WelcomeWindowTest, ThePluggedAmpIsFoundByTheMainWindowOpenedAfterwards) {
  sim.korva.Unplug();
  welcome.show();
  sim.korva.Plug();
  ASSERT_TRUE(WaitUntil([] { return LinkMode.load() == kLinkHid; }));
  std::string usbState;
  WhenModal([&](QWidget* main) {
    Settle();
    usbState = Shown(main, "usbState");
    Click(main, "m_btnExit");
  });
  Click(&welcome, "btnEnter");
  EXPECT_EQ(usbState, "Connected");
}

TEST_F(WelcomeWindowTest, TheContextMenuOffersTheAboutBox) {
  welcome.show();
  std::string item;
  std::string aboutTitle;
  std::vector<std::string> aboutTexts;
  // The menu is a popup; its item opens the About box modally.
  QTimer::singleShot(0, [&] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    for (QAction* action : menu->actions()) {
      if (action->isSeparator() || action->text() == qt::kServiceModeMenuText) continue;
      item = action->text().toStdString();
      WhenModal([&](QWidget* about) {
        aboutTitle = about->windowTitle().toStdString();
        for (QLabel* label : about->findChildren<QLabel*>())
          aboutTexts.push_back(label->text().toStdString());
        Click(about, "btnOk");
      });
      menu->close();
      action->trigger();
    }
  });
  QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(10, 10),
                          welcome.mapToGlobal(QPoint(10, 10)));
  QCoreApplication::sendEvent(&welcome, &event);
  EXPECT_EQ(item, "&About Velorin...");
  EXPECT_EQ(aboutTitle, "About KORVA Updater");
  EXPECT_EQ(aboutTexts, (std::vector<std::string>{"", "Brenwick KORVA Updater Ver4.04"}));
}

TEST_F(WelcomeWindowTest, ServiceModeFromTheContextMenuGrowsTheWindowAroundTheTabsAndAPage) {
  welcome.show();
  const QSize before = welcome.size();
  auto chooseServiceMode = [&] {
    std::optional<std::pair<bool, bool>> enabledAndChecked;
    QTimer::singleShot(0, [&] {
      auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
      ASSERT_NE(menu, nullptr);
      for (QAction* action : menu->actions()) {
        if (action->text() != qt::kServiceModeMenuText) continue;
        enabledAndChecked = std::make_pair(action->isEnabled(), action->isChecked());
        menu->close();
        if (action->isEnabled()) action->trigger();
      }
    });
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(10, 10),
                            welcome.mapToGlobal(QPoint(10, 10)));
    QCoreApplication::sendEvent(&welcome, &event);
    return enabledAndChecked;
  };
  EXPECT_EQ(chooseServiceMode(), std::make_pair(true, false));

  auto* tab = Child<QTabWidget>(&welcome, "m_tab");
  EXPECT_TRUE(tab->isVisible());
  EXPECT_TRUE(tab->isEnabled());
  EXPECT_EQ(tab->count(), 5);
  EXPECT_TRUE(Child(&welcome, "mcuPage")->isVisible());
  // The window grew around the tabs and the page; its texts and buttons are all still there.
  EXPECT_GT(welcome.height(), before.height());
  EXPECT_TRUE(welcome.rect().contains(tab->geometry()));
  const QRect enter = Child(&welcome, "btnEnter")->geometry();
  EXPECT_GT(enter.top(), tab->geometry().bottom());
  EXPECT_TRUE(welcome.rect().contains(enter));
  EXPECT_TRUE(welcome.rect().contains(Child(&welcome, "btnExit")->geometry()));
  // Service mode stays: the item shows it is on.
  EXPECT_EQ(chooseServiceMode(), std::make_pair(false, true));
}

TEST_F(WelcomeWindowTest, TheMainWindowHasNoAboutItem) {
  qt::CUpdateDlg main;
  main.show();
  QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(10, 10),
                          main.mapToGlobal(QPoint(10, 10)));
  QCoreApplication::sendEvent(&main, &event);
  EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
}

TEST_F(WelcomeWindowTest, ExitEndsTheWelcomeWindow) {
  welcome.show();
  Click(&welcome, "btnExit");
  EXPECT_FALSE(welcome.isVisible());
  EXPECT_EQ(welcome.result(), QDialog::Rejected);
}

TEST_F(WelcomeWindowTest, EnterWithoutTheAmpOpensTheMainWindowDisconnected) {
  sim.korva.Unplug();
  welcome.show();
  bool welcomeHidden = false;
  std::string status;
  WhenModal([&](QWidget* main) {
    welcomeHidden = !welcome.isVisible();
    Settle();
    status = Shown(main, "status");
    Click(main, "m_btnExit");
  });
  Click(&welcome, "btnEnter");
  EXPECT_TRUE(welcomeHidden);
  EXPECT_EQ(status, kTextConnectCable);
  // Closing the main window ends the welcome window's run for good.
  EXPECT_FALSE(welcome.isVisible());
  EXPECT_EQ(welcome.result(), QDialog::Accepted);
}

// The main road: "Enter", "Update", MCU and DSP jobs, the final text; meanwhile another
// device comes and goes, and the hidden welcome window probes without disturbing the job.
TEST_F(WelcomeWindowTest, TheWholeMainRoadFromEnterToTheFinalText) {
  welcome.show();
  OtherHidDevice keyboard;
  std::vector<std::string> statuses;
  std::string finalStatus;
  std::string finalVersion;
  WhenModal([&](QWidget* main) {
    Settle();
    EXPECT_EQ(Shown(main, "currentVersion"), "Ver1.36.192");
    EXPECT_EQ(Shown(main, "newVersion"), "Ver1.38.250");
    // What the status line shows after each job message has been handled.
    auto* status = Child<QLabel>(main, "status");
    auto note = [&] {
      if (statuses.empty() || statuses.back() != status->text().toStdString()) {
        statuses.push_back(status->text().toStdString());
      }
    };
    // Each job message as the user sees the window just before and just after it is handled.
    JobEventWatcher before;
    before.onJob = [&](const qt::JobEvent&) {
      Flush(main);
      note();
    };
    JobEventWatcher after;
    after.onJob = [&](const qt::JobEvent&) {
      note();
      // While the DSP job runs, another device arrives (and later leaves): the hidden
      // welcome window probes.
      if (status->text() == kTextDspUpdating && !sim.bus.IsAttached(&keyboard))
        sim.bus.Attach(&keyboard);
    };
    qApp->installEventFilter(&before);  // the last installed sees events first
    main->installEventFilter(&after);
    Flush(main);
    note();
    Click(main, "m_btnUpdate");
    const bool done = WaitUntil([&] { return status->text() == kTextUpdateSucceeded; });
    qApp->removeEventFilter(&before);
    main->removeEventFilter(&after);
    EXPECT_TRUE(done);
    sim.bus.Detach(&keyboard);
    Settle();
    auto* update = static_cast<qt::CUpdateDlg*>(main);
    Tick(*update);
    finalStatus = Shown(main, "status");
    finalVersion = Shown(main, "currentVersion");
    Click(main, "m_btnExit");
  });
  Click(&welcome, "btnEnter");

  EXPECT_EQ(statuses,
            (std::vector<std::string>{kTextInitializing, kTextStartUpdating, kTextMcuUpdating,
                                      kTextMcuUpdateDone, kTextDspUpdating, kTextUpdateSucceeded}));
  EXPECT_EQ(finalStatus,
            "Update successfully! Please disconnect the USB cable and restart the KORVA.");
  EXPECT_EQ(finalVersion, "Ver1.38.250");
  EXPECT_EQ(welcome.result(), QDialog::Accepted);

  // The amp holds the carried firmware.
  ASSERT_EQ(LoadEmbeddedImages(), 1);
  const ImageStore& images = Images();
  std::vector<std::uint8_t> mcu(images.McuImageBuffer.begin(),
                                images.McuImageBuffer.begin() + images.McuImageLength);
  mcu.resize(sim.korva.McuMemory().size(), 0xFF);
  EXPECT_EQ(sim.korva.McuMemory(), mcu);
  const std::vector<std::uint8_t> dspHeader(images.DspImageBuffer.begin(),
                                            images.DspImageBuffer.begin() + 16);
  EXPECT_EQ(sim.korva.DspHeader(), dspHeader);
  std::vector<std::uint8_t> dsp(images.DspImageBuffer.begin() + 16,
                                images.DspImageBuffer.begin() + images.DspImageLength);
  dsp.resize(sim.korva.DspMemory().size(), 0xFF);
  EXPECT_EQ(sim.korva.DspMemory(), dsp);
  EXPECT_EQ(sim.korva.McuVersion(), "1.38");
  EXPECT_EQ(sim.korva.DspVersion(), "250");
  EXPECT_TRUE(sim.korva.Violations().empty()) << sim.korva.Violations().front();
  EXPECT_EQ(sim.bus.OpenHandles(), 0);
}

}  // namespace
}  // namespace korva::testing
