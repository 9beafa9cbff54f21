// The three firmware file pages, MCU, DSP and battery controller: one class, and a table of
// what differs between them (file rule, where an accepted file goes, job, texts). "Browse"
// checks a file and shows the version it carries; "Upgrade" checks the link, the amp and the
// file again, puts the file where its job reads it and runs the job.
#pragma once

#include <QString>
#include <memory>

#include "images/firmware_file.h"
#include "qt/service_page.h"

namespace Ui {
class CFirmwarePageDlg;
}

namespace korva::qt {

struct FirmwarePageDifferences;

class CFirmwarePageDlg : public CServicePageDlg {
 public:
  ~CFirmwarePageDlg() override;

 protected:
  CFirmwarePageDlg(FirmwareKind kind, QWidget* parent);

  void OnBrowse() override;
  void OnUpgrade() override;

 private:
  // The checks of the file, once the amp is there, then the job.
  void UpgradeFile();

  const FirmwarePageDifferences& m_page;
  std::unique_ptr<Ui::CFirmwarePageDlg> ui_;
  QString m_strLoadedVersion;  // nothing writes it: the label beside "Loaded Version:" stays empty
  QString m_strUpdateVersion;  // "V " and the chosen file's version text, or "ERROR!"
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
