// The About box: the icon, the program's name and version, and OK.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QPushButton>

namespace solvane::gui {
// Command of the About item in the window's system menu; the low four bits are the system's.
inline constexpr unsigned kIdmAboutBox = 0x0010;
[[nodiscard]] constexpr bool isAboutCommand(unsigned command) noexcept { return (command & 0xFFF0u) == kIdmAboutBox; }
inline constexpr const char* kAboutMenuText = "&About DB_Conv_Solvane...";

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
