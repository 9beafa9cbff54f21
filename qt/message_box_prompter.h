// The Prompter port as Qt message boxes. A window box has no icon, an application box the
// warning icon; both have an OK button and the program file's base name as caption. A job
// thread that asks for a box waits until the user has closed it on the UI thread.
#pragma once

#include <QObject>
#include <QString>
#include <memory>

#include "jobs/prompter.h"

class QMessageBox;
class QWidget;

namespace korva::qt {

// The caption of every box: the program file's name without its extension.
QString ApplicationName();

// The box that ShowBox shows, for `parent` (the active window or none).
std::unique_ptr<QMessageBox> MakeMessageBox(BoxKind kind, const std::string& text, QWidget* parent);

class MessageBoxPrompter final : public QObject, public Prompter {
 public:
  // Must be made on the UI thread.
  MessageBoxPrompter() = default;
  void ShowBox(BoxKind kind, const std::string& text) override;

 private:
  void ShowHere(BoxKind kind, const std::string& text);
};

}  // namespace korva::qt
