// The file-open dialog of the service pages.
#include "ui/file_chooser.h"

#include <QFileDialog>
#include <QFileInfo>

namespace korva::ui {
namespace {

FileChooser* g_chooser = nullptr;

}  // namespace

FileChooser& AppFileChooser() {
  static FileDialogChooser dialogs;
  return g_chooser ? *g_chooser : dialogs;
}

void SetAppFileChooser(FileChooser* chooser) { g_chooser = chooser; }

std::optional<QString> FileDialogChooser::ChooseFileToOpen(QWidget* parent, const FileFilter& filter) {
  // No caption of our own: the dialog calls itself "Open", as a file-open dialog does.
  QFileDialog dialog(parent, QString(), lastFolder_);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilter(QString::fromLatin1(filter.pattern));
  dialog.setDefaultSuffix(QString::fromLatin1(filter.defaultSuffix));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  const QString path = dialog.selectedFiles().constFirst();
  lastFolder_ = QFileInfo(path).absolutePath();
  return path;
}

}  // namespace korva::ui
