#include "app/about_dlg.h"

#include <QIcon>

#include <algorithm>

#include "app/dialog_units.h"
#include "dialog/dialog_template.h"
#include "base/version.h"
#include "dialog/dialog_texts.h"

namespace solvane::gui {

QIcon applicationIcon() {
  QIcon icon;
  for (const int size : {16, 32, 48}) {
    icon.addFile(QStringLiteral(":/icons/db_conv_solvane_%1.png").arg(size), QSize(size, size));
  }
  return icon;
}

CAboutDlg::CAboutDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_icon(this),
      m_version(QString::fromStdString(solvane::dialog::aboutVersionText()), this),
      m_licence(QLatin1String(solvane::kLicenceLine), this),
      m_btnOK(QString::fromUtf8(solvane::dialog::kAboutControls[2].caption), this) {
  setWindowTitle(QString::fromUtf8(solvane::dialog::kAboutTitle));
  setWindowIcon(applicationIcon());
  setModal(true);

  // Laid out on the dialog-unit grid of template 100.
  const auto& controls = solvane::dialog::kAboutControls;
  const DialogUnits du = DialogUnits::forFont(font());
  const QRect iconArea = du.toPixels(controls[0].rect);
  const int side = std::min(iconArea.width(), iconArea.height()) >= 32 ? 32 : 16;
  m_icon.setPixmap(applicationIcon().pixmap(side, side));
  m_icon.setAlignment(Qt::AlignCenter);
  m_icon.setGeometry(
      iconArea.adjusted(0, 0, std::max(0, side - iconArea.width()), std::max(0, side - iconArea.height())));

  m_version.setTextFormat(Qt::PlainText);
  m_version.setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  QRect text = du.toPixels(controls[1].rect);
  text.setHeight(std::max(text.height(), m_version.sizeHint().height()));
  m_version.setGeometry(text);

  // The licence under the version and the OK button, across the box (two lines if need be).
  m_licence.setTextFormat(Qt::PlainText);
  m_licence.setWordWrap(true);
  m_licence.setAlignment(Qt::AlignLeft | Qt::AlignTop);
  m_licence.setGeometry(du.toPixels(DialogRect{40, 27, 188, 22}));

  QRect ok = du.toPixels(controls[2].rect);
  ok.setHeight(std::max(ok.height(), m_btnOK.sizeHint().height()));
  m_btnOK.setGeometry(ok);
  m_btnOK.setDefault(true);
  m_btnOK.setAutoDefault(true);
  connect(&m_btnOK, &QPushButton::clicked, this, &QDialog::accept);

  const auto& size = solvane::dialog::kAboutTemplate.size;
  setFixedSize(du.toPixelsX(size.width), du.toPixelsY(size.height));
  m_btnOK.setFocus();
}

}  // namespace solvane::gui
