// Message boxes on the UI thread, asked for from any thread.
#include "ui/message_box_prompter.h"

#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <QThread>

#include "ui/display_text.h"

namespace korva::ui {

QString ApplicationName() {
  return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

std::unique_ptr<QMessageBox> MakeMessageBox(BoxKind kind, const std::string& text, QWidget* parent) {
  const QMessageBox::Icon icon = kind == BoxKind::Application ? QMessageBox::Warning : QMessageBox::NoIcon;
  auto box = std::make_unique<QMessageBox>(icon, ApplicationName(), DisplayText(text), QMessageBox::Ok, parent);
  box->setTextFormat(Qt::PlainText);
  return box;
}

void MessageBoxPrompter::ShowBox(BoxKind kind, const std::string& text) {
  if (QThread::currentThread() == thread()) {
    ShowHere(kind, text);
    return;
  }
  QMetaObject::invokeMethod(this, [this, kind, &text] { ShowHere(kind, text); },
                            Qt::BlockingQueuedConnection);
}

void MessageBoxPrompter::ShowHere(BoxKind kind, const std::string& text) {
  // A window box belongs to the window that is active; the application box to the program.
  QWidget* parent = kind == BoxKind::Window ? QApplication::activeWindow() : nullptr;
  MakeMessageBox(kind, text, parent)->exec();
}

}  // namespace korva::ui
