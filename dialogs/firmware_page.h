// The three firmware file pages, MCU, DSP and battery controller: one class, and a table of
// what differs between them (file rule, where an accepted file goes, job, template texts).
// "Browse" checks a file and shows the version it carries; "Upgrade" checks the link, the amp
// and the file again, puts the file where its job reads it and runs the job.
#pragma once

#include "dialogs/service_page.h"
#include "images/firmware_file.h"

namespace korva::dialogs {

struct FirmwarePageDifferences {
  FirmwareKind kind;  // the file rule
  int jobKind;
  const char* name;        // the page's name among the windows' objects
  const char* groupTitle;  // the template's group box
  const char* fileLabel;   // the label of the file path
  // Puts an accepted file where the job reads it: the MCU and DSP files into their image
  // stores, the battery file into the page file buffer. 1 when placed.
  int (*place)(FirmwareFile file);
};

const FirmwarePageDifferences& FirmwarePageOf(FirmwareKind kind);

class FirmwarePage final : public ServicePage {
 public:
  // The face and the port outlive the page.
  FirmwarePage(PageFace& face, DevicePort& device, FirmwareKind kind);

 private:
  void Browse() override;
  void Upgrade() override;
  // The checks of the file, once the amp is there, then the job.
  void UpgradeFile();

  const FirmwarePageDifferences& page_;
};

}  // namespace korva::dialogs
