// The port through which a service page asks the user for a file to open, as the Prompter
// port does for boxes: the program shows a real file dialog, tests answer without one.
#pragma once

#include <QString>
#include <optional>

class QWidget;

namespace korva::qt {

// What a page's dialog offers: the one filter entry ("*.bin", or several patterns in one entry,
// "*.bin; *.dfu") and the extension that a typed name without one gets ("bin", or none).
struct FileFilter {
  const char* pattern;
  const char* defaultSuffix;
};

inline constexpr FileFilter kFirmwareFileFilter{"*.bin", "bin"};
inline constexpr FileFilter kWavFileFilter{"*.wav", "WAV"};
inline constexpr FileFilter kBluetoothFileFilter{"*.bin; *.dfu", ""};

class FileChooser {
 public:
  virtual ~FileChooser() = default;
  // The full path of the file that the user chose, or nothing when they cancelled.
  virtual std::optional<QString> ChooseFileToOpen(QWidget* parent, const FileFilter& filter) = 0;
};

// The process-wide chooser (not owned); until one is installed, the file dialog below.
FileChooser& AppFileChooser();
void SetAppFileChooser(FileChooser* chooser);

// A QFileDialog for an existing file, opening in the folder of the file chosen last.
class FileDialogChooser final : public FileChooser {
 public:
  std::optional<QString> ChooseFileToOpen(QWidget* parent, const FileFilter& filter) override;

 private:
  QString lastFolder_;
};

}  // namespace korva::qt
