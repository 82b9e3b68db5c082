#include "app/user_prompts.h"

#include <QFileDialog>
#include <QMessageBox>

#include "app/about_dlg.h"

namespace solvane::gui {

QString importFilter() {
  QStringList patterns;
  for (const char* pattern : solvane::dialog::kImportPatterns) patterns.push_back(QString::fromUtf8(pattern));
  return QStringLiteral("%1 (%2);;%3 (%4)")
      .arg(QString::fromUtf8(solvane::dialog::kImportFilterName), patterns.join(QLatin1Char(' ')),
           QString::fromUtf8(solvane::dialog::kAllFilesName), QString::fromUtf8(solvane::dialog::kAllFilesPattern));
}

void configureMessageBox(QMessageBox& box, const QString& text, const QString& detail, UserPrompts::Icon icon) {
  box.setWindowTitle(QString::fromUtf8(kAppName));
  box.setIcon(icon == UserPrompts::Icon::kError ? QMessageBox::Critical : QMessageBox::NoIcon);
  box.setTextFormat(Qt::PlainText);
  box.setText(text);
  box.setInformativeText(detail);
  box.setStandardButtons(QMessageBox::Ok);
  box.setDefaultButton(QMessageBox::Ok);
}

void configureSourcePicker(QFileDialog& picker, const QString& defaultName, const QString& folder) {
  picker.setAcceptMode(QFileDialog::AcceptOpen);
  picker.setFileMode(QFileDialog::ExistingFile);
  // Qt reads the pattern from the parentheses of the shown text, so the two agree.
  picker.setNameFilter(QString::fromUtf8(kSourceFilter));
  if (!folder.isEmpty()) picker.setDirectory(folder);
  picker.selectFile(defaultName);
}

void WidgetPrompts::message(QWidget* parent, const QString& text, const QString& detail, Icon icon) {
  QMessageBox box(parent);
  configureMessageBox(box, text, detail, icon);
  box.exec();
}

QString WidgetPrompts::openSourceFile(QWidget* parent, const QString& defaultName, const QString& folder) {
  QFileDialog picker(parent);
  configureSourcePicker(picker, defaultName, folder);
  if (picker.exec() != QDialog::Accepted) return {};
  const QStringList chosen = picker.selectedFiles();
  return chosen.size() == 1 ? chosen.front() : QString();
}

QStringList WidgetPrompts::openImportFiles(QWidget* parent, const QString& folder) {
  QFileDialog picker(parent);
  picker.setWindowTitle(QString::fromUtf8(solvane::dialog::kImportPickerTitle));
  picker.setAcceptMode(QFileDialog::AcceptOpen);
  picker.setFileMode(QFileDialog::ExistingFiles);
  picker.setNameFilter(importFilter());
  if (!folder.isEmpty()) picker.setDirectory(folder);
  if (picker.exec() != QDialog::Accepted) return {};
  return picker.selectedFiles();
}

bool WidgetPrompts::confirm(QWidget* parent, const QString& text, const QString& detail) {
  QMessageBox box(parent);
  box.setWindowTitle(QString::fromUtf8(kAppName));
  box.setIcon(QMessageBox::Question);
  box.setTextFormat(Qt::PlainText);
  box.setText(text);
  box.setInformativeText(detail);
  box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
  box.setDefaultButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

void WidgetPrompts::about(QWidget* parent) {
  CAboutDlg box(parent);
  box.exec();
}

}  // namespace solvane::gui
