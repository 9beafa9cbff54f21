// The file-open dialog of the service pages.
#include "qt/file_chooser.h"

#include <QFileDialog>
#include <QFileInfo>

namespace korva::qt {
namespace {

FileChooser* g_chooser = nullptr;

// The dialog's entry: the pattern as its text, each of its patterns for matching. The dialog
// would take "*.bin; *.dfu" on its own as the patterns "*.bin;" and "*.dfu".
QString NameFilter(const dialogs::FileFilter& filter) {
  const QString text = QString::fromLatin1(filter.pattern);
  QString patterns = text;
  patterns.remove(QLatin1Char(';'));
  return QStringLiteral("%1 (%2)").arg(text, patterns.simplified());
}

}  // namespace

FileChooser& AppFileChooser() {
  static FileDialogChooser dialogs;
  return g_chooser ? *g_chooser : dialogs;
}

void SetAppFileChooser(FileChooser* chooser) { g_chooser = chooser; }

std::optional<QString> FileDialogChooser::ChooseFileToOpen(QWidget* parent,
                                                           const dialogs::FileFilter& filter) {
  // No caption of our own: the dialog calls itself "Open", as a file-open dialog does.
  QFileDialog dialog(parent, QString(), lastFolder_);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilter(NameFilter(filter));
  dialog.setOption(QFileDialog::HideNameFilterDetails);  // the entry reads as the pattern alone
  dialog.setDefaultSuffix(QString::fromLatin1(filter.defaultSuffix));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  const QString path = dialog.selectedFiles().constFirst();
  lastFolder_ = QFileInfo(path).absolutePath();
  return path;
}

}  // namespace korva::qt
