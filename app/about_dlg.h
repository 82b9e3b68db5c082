// The About box: the icon, the program's name and version, and OK.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QPushButton>

#include "dialog/dialog_texts.h"

namespace solvane::gui {
// The About item of the system menu and its command (dialog/dialog_texts.h).
using solvane::dialog::isAboutCommand;
using solvane::dialog::kAboutMenuText;
using solvane::dialog::kIdmAboutBox;

class CAboutDlg : public QDialog {
  Q_OBJECT
 public:
  explicit CAboutDlg(QWidget* parent = nullptr);

  [[nodiscard]] const QLabel& iconLabel() const noexcept { return m_icon; }
  [[nodiscard]] const QLabel& versionLabel() const noexcept { return m_version; }
  [[nodiscard]] const QLabel& licenceLabel() const noexcept { return m_licence; }
  [[nodiscard]] QPushButton& okButton() noexcept { return m_btnOK; }

 private:
  QLabel m_icon;
  QLabel m_version;
  QLabel m_licence;
  QPushButton m_btnOK;
};

// The application icon at 16, 32 and 48 pixels.
QIcon applicationIcon();

}  // namespace solvane::gui
