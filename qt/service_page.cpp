// The service pages' shared face.
#include "qt/service_page.h"

#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>

#include "qt/device_work.h"
#include "qt/dialog_units.h"
#include "qt/display_text.h"
#include "qt/file_chooser.h"
#include "qt/job_event.h"
#include "qt/pre_translate.h"
#include "qt/thread_handoff.h"

namespace korva::qt {
namespace {

template <typename Control>
void CopyIfDifferent(Control* control, const QString& text) {
  if (control->text() != text) control->setText(text);
}

}  // namespace

using dialogs::PageControl;
using dialogs::PageText;

CServicePageDlg::CServicePageDlg(QWidget* parent) : QWidget(parent) {}

CServicePageDlg::~CServicePageDlg() {
  m_preTranslate.reset();
  m_logic.reset();
}

void CServicePageDlg::BindCommonControls(QProgressBar* progress, QPushButton* upgrade,
                                         QPushButton* browse, QLineEdit* filePath,
                                         QLabel* percent) {
  ApplyDialogUnits(this, DialogFont(kTemplatePointSize));
  m_progress = progress;
  m_btnUpgrade = upgrade;
  m_btnBrowse = browse;
  m_filePathEdit = filePath;
  // The path shows the file that Browse chose; "Upgrade" never reads what is typed there.
  m_filePathEdit->setReadOnly(true);
  BindText(percent, PageText::Percent);
  NameAfterCaption(percent, QString::fromLatin1(kPercentageCaption), percent);
  // The texts stay as they are; the keys work all the same and screen readers name them.
  m_btnBrowse->setShortcut(QKeySequence(Qt::ALT | Qt::Key_B));
  m_btnUpgrade->setShortcut(QKeySequence(Qt::ALT | Qt::Key_U));
  FocusOnAltKey(Qt::Key_F, m_filePathEdit);
  connect(m_btnBrowse, &QPushButton::clicked, this, [this] { m_logic->OnBrowse(); });
  connect(m_btnUpgrade, &QPushButton::clicked, this, [this] { m_logic->OnUpgrade(); });
}

void CServicePageDlg::SetLogic(std::unique_ptr<dialogs::ServicePage> logic) {
  m_logic = std::move(logic);
  // Sees every event of this page and its controls before it is dispatched.
  m_preTranslate = std::make_unique<PreTranslateFilter>(
      this,
      [this](const JobEvent& event) {
        m_logic->OnJobMessage(event.Message(), event.WParam(), event.LParam());
      },
      [this] { UpdateData(); });
  UpdateData();
}

void CServicePageDlg::FocusOnAltKey(Qt::Key key, QWidget* target) {
  // Only the shown page's keys act: a hidden page's shortcuts do not.
  auto* shortcut = new QShortcut(QKeySequence(Qt::ALT | key), this);
  connect(shortcut, &QShortcut::activated, target,
          [target] { target->setFocus(Qt::ShortcutFocusReason); });
}

std::vector<QWidget*> CServicePageDlg::KeyboardOrder() const {
  return {m_filePathEdit, m_btnBrowse, m_btnUpgrade};
}

void CServicePageDlg::FocusFirstStep() { m_btnBrowse->setFocus(); }

QWidget* CServicePageDlg::Control(PageControl control) const {
  switch (control) {
    case PageControl::Browse:
      return m_btnBrowse;
    case PageControl::Upgrade:
      return m_btnUpgrade;
    case PageControl::SlotList:
      break;
  }
  return nullptr;
}

std::optional<std::string> CServicePageDlg::ChooseFile(const dialogs::FileFilter& filter) {
  const std::optional<QString> chosen = AppFileChooser().ChooseFileToOpen(window(), filter);
  if (!chosen) return std::nullopt;
  return QFile::encodeName(*chosen).toStdString();
}

void CServicePageDlg::SetFilePath(const std::string& path) {
  m_strFilePath = QFile::decodeName(QByteArray::fromStdString(path));
}

void CServicePageDlg::SetText(PageText text, const std::string& bytes) {
  (text == PageText::Percent ? m_strPercent : m_strUpdateVersion) = QtText(bytes);
}

void CServicePageDlg::SetProgressRange(int maximum) {
  m_progress->setRange(0, maximum);
  m_progress->setValue(0);
}

void CServicePageDlg::SetProgress(int position) { SetProgressValue(m_progress, position); }

void CServicePageDlg::Enable(PageControl control, bool enabled) {
  if (QWidget* widget = Control(control)) widget->setEnabled(enabled);
}

void CServicePageDlg::Focus(PageControl control) {
  if (QWidget* widget = Control(control)) widget->setFocus();
}

void CServicePageDlg::PostJobMessage(int message, int wParam, long lParam) {
  PostJobEvent(this, message, wParam, lParam);
}

void CServicePageDlg::RunOnWindowThread(const std::function<void()>& call) {
  RunOnThreadOf(this, call);
}

void CServicePageDlg::UpdateData() {
  if (m_copying) return;  // setting a text sends events of its own
  m_copying = true;
  CopyIfDifferent(m_filePathEdit, m_strFilePath);
  for (const auto& [label, text] : m_labels)
    CopyIfDifferent(label, text == PageText::Percent ? m_strPercent : m_strUpdateVersion);
  for (QLabel* label : m_emptyLabels) CopyIfDifferent(label, QString());
  m_names.Refresh();
  m_copying = false;
}

void CServicePageDlg::keyPressEvent(QKeyEvent* event) {
  // Return on a page's field must not reach the welcome window's default button ("Enter"
  // would leave for the main road); Escape goes on to the window.
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    event->accept();
    return;
  }
  QWidget::keyPressEvent(event);
}

}  // namespace korva::qt
