// What every service page's face shares on Qt: the face of a dialogs::ServicePage (which decides
// what the page does) over a page template with the file path, "Browse", "Upgrade", the progress
// bar and the percent label. Here: the display strings, copied to their controls (where they
// differ) before every event that the page or one of its controls receives; the page's job
// messages as events, handled just before that copy; the file dialog; the Alt keys, the
// keyboard's order, and the names that screen readers read.
#pragma once

#include <QString>
#include <QWidget>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "dialogs/service_page.h"
#include "qt/screen_reader.h"

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace korva::qt {

class PreTranslateFilter;

class CServicePageDlg : public QWidget, protected dialogs::PageFace {
 public:
  ~CServicePageDlg() override;
  CServicePageDlg(const CServicePageDlg&) = delete;
  CServicePageDlg& operator=(const CServicePageDlg&) = delete;

  // What the page decides.
  dialogs::ServicePage& Logic() const { return *m_logic; }
  // From the start of the page's job until its final box has been closed and the page reset,
  // and while "Upgrade" waits for the device thread.
  bool JobRunning() const { return m_logic->JobRunning(); }

  // The page's controls in the order the keyboard visits them: top to bottom, left to right.
  virtual std::vector<QWidget*> KeyboardOrder() const;
  // Gives the keyboard focus to what the user does first on this page.
  virtual void FocusFirstStep();

  // The pages' dialog templates are declared at this font size.
  static constexpr int kTemplatePointSize = 10;

 protected:
  explicit CServicePageDlg(QWidget* parent);

  // After the template is set up: the controls that every page has, the conversion from dialog
  // units, Browse and Upgrade wired to the page's steps, their Alt+letter keys (Alt+F goes to
  // the file path).
  void BindCommonControls(QProgressBar* progress, QPushButton* upgrade, QPushButton* browse,
                          QLineEdit* filePath, QLabel* percent);
  // A label that shows `text`.
  void BindText(QLabel* label, dialogs::PageText text) { m_labels.emplace_back(label, text); }
  // A label that shows an empty display string (one that nothing writes).
  void BindEmpty(QLabel* label) { m_emptyLabels.push_back(label); }
  // `target` is called `caption` and the text of `source` for screen readers.
  void NameAfterCaption(QWidget* target, const QString& caption, const QLabel* source) {
    m_names.Add(target, caption, source);
  }
  // `key` with Alt moves the focus to `target`, as a label's underlined letter would.
  void FocusOnAltKey(Qt::Key key, QWidget* target);
  // Takes the page's behaviour, made once the template is set up, and shows its texts.
  void SetLogic(std::unique_ptr<dialogs::ServicePage> logic);
  // The control behind `control`; the Qt page adds the ones of its own (the IR page's list).
  virtual QWidget* Control(dialogs::PageControl control) const;

  // Copies every display string into its control where they differ.
  void UpdateData();

  void keyPressEvent(QKeyEvent* event) override;

 private:
  // The face.
  std::optional<std::string> ChooseFile(const dialogs::FileFilter& filter) override;
  void SetFilePath(const std::string& path) override;
  void SetText(dialogs::PageText text, const std::string& bytes) override;
  void CopyTexts() override { UpdateData(); }
  void SetProgressRange(int maximum) override;
  void SetProgress(int position) override;
  void Enable(dialogs::PageControl control, bool enabled) override;
  void Focus(dialogs::PageControl control) override;
  void PostJobMessage(int message, int wParam, long lParam) override;
  void RunOnWindowThread(const std::function<void()>& call) override;

  QProgressBar* m_progress = nullptr;
  QPushButton* m_btnUpgrade = nullptr;
  QPushButton* m_btnBrowse = nullptr;
  QLineEdit* m_filePathEdit = nullptr;
  QString m_strFilePath;
  QString m_strPercent;
  QString m_strUpdateVersion;
  std::vector<std::pair<QLabel*, dialogs::PageText>> m_labels;
  std::vector<QLabel*> m_emptyLabels;
  CaptionedNames m_names;
  bool m_copying = false;
  std::unique_ptr<dialogs::ServicePage> m_logic;
  std::unique_ptr<PreTranslateFilter> m_preTranslate;
};

}  // namespace korva::qt
