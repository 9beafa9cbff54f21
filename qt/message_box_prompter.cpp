// Message boxes on the UI thread, asked for from any thread.
#include "qt/message_box_prompter.h"

#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>

#include "qt/display_text.h"
#include "qt/thread_handoff.h"

namespace korva::qt {

QString ApplicationName() {
  return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

std::unique_ptr<QMessageBox> MakeMessageBox(BoxKind kind, const std::string& text,
                                            QWidget* parent) {
  const QMessageBox::Icon icon =
      kind == BoxKind::Application ? QMessageBox::Warning : QMessageBox::NoIcon;
  auto box =
      std::make_unique<QMessageBox>(icon, ApplicationName(), QtText(text), QMessageBox::Ok, parent);
  box->setTextFormat(Qt::PlainText);
  return box;
}

void MessageBoxPrompter::ShowBox(BoxKind kind, const std::string& text) {
  RunOnThreadOf(this, [this, kind, &text] { ShowHere(kind, text); });
}

void MessageBoxPrompter::ShowHere(BoxKind kind, const std::string& text) {
  // A window box belongs to the window that is active; the application box to the program.
  QWidget* parent = kind == BoxKind::Window ? QApplication::activeWindow() : nullptr;
  MakeMessageBox(kind, text, parent)->exec();
}

}  // namespace korva::qt
