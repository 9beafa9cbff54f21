// The port through which a service page asks the user for a file to open, as the Prompter
// port does for boxes: the program shows a real file dialog, tests answer without one.
#pragma once

#include <QString>
#include <optional>

#include "dialogs/file_filter.h"

class QWidget;

namespace korva::qt {

class FileChooser {
 public:
  virtual ~FileChooser() = default;
  // The full path of the file that the user chose, or nothing when they cancelled.
  virtual std::optional<QString> ChooseFileToOpen(QWidget* parent,
                                                  const dialogs::FileFilter& filter) = 0;
};

// The process-wide chooser (not owned); until one is installed, the file dialog below.
FileChooser& AppFileChooser();
void SetAppFileChooser(FileChooser* chooser);

// A QFileDialog for an existing file, opening in the folder of the file chosen last.
class FileDialogChooser final : public FileChooser {
 public:
  std::optional<QString> ChooseFileToOpen(QWidget* parent,
                                          const dialogs::FileFilter& filter) override;

 private:
  QString lastFolder_;
};

}  // namespace korva::qt
