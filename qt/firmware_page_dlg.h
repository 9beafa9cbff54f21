// The three firmware file pages on Qt, MCU, DSP and battery controller: one template, and the
// shared layer's table of what differs between them (dialogs/firmware_page.h).
#pragma once

#include <memory>

#include "images/firmware_file.h"
#include "qt/service_page.h"

namespace Ui {
class CFirmwarePageDlg;
}

namespace korva::qt {

class CFirmwarePageDlg : public CServicePageDlg {
 public:
  ~CFirmwarePageDlg() override;

 protected:
  CFirmwarePageDlg(FirmwareKind kind, QWidget* parent);

 private:
  std::unique_ptr<Ui::CFirmwarePageDlg> ui_;
};

// Dialog 131.
class CMcuPageDlg final : public CFirmwarePageDlg {
 public:
  explicit CMcuPageDlg(QWidget* parent = nullptr) : CFirmwarePageDlg(FirmwareKind::Mcu, parent) {}
};

// Dialog 132.
class CDspPageDlg final : public CFirmwarePageDlg {
 public:
  explicit CDspPageDlg(QWidget* parent = nullptr) : CFirmwarePageDlg(FirmwareKind::Dsp, parent) {}
};

// Dialog 134; its texts call the battery controller "SlaveMCU".
class CBatteryPageDlg final : public CFirmwarePageDlg {
 public:
  explicit CBatteryPageDlg(QWidget* parent = nullptr)
      : CFirmwarePageDlg(FirmwareKind::Battery, parent) {}
};

}  // namespace korva::qt
