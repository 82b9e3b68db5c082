// Answers the dialog's prompts in place of a user: records every message box and every
// picker call, and gives the picker the answers queued by the test.
#pragma once

#include <QDir>
#include <QFile>
#include <QString>
#include <deque>
#include <functional>
#include <vector>

#include "app/user_prompts.h"

struct ShownMessage {
  QString text;
  QString detail;
  solvane::gui::UserPrompts::Icon icon;
};

struct PickerCall {
  QString defaultName;
  QString folder;
};

class FakePrompts final : public solvane::gui::UserPrompts {
 public:
  void message(QWidget*, const QString& text, const QString& detail, Icon icon) override {
    messages.push_back({text, detail, icon});
    if (onMessage) onMessage();
  }
  QString openSourceFile(QWidget*, const QString& defaultName, const QString& folder) override {
    pickerCalls.push_back({defaultName, folder});
    if (answers.empty()) return {};
    QString answer = answers.front();
    answers.pop_front();
    return answer;
  }
  void about(QWidget*) override { ++aboutShown; }
  QStringList openImportFiles(QWidget*, const QString& folder) override {
    importPickerFolders.push_back(folder);
    if (importAnswers.empty()) return {};
    QStringList answer = importAnswers.front();
    importAnswers.pop_front();
    return answer;
  }
  bool confirm(QWidget*, const QString& text, const QString& detail) override {
    questions.push_back({text, detail, Icon::kNone});
    return confirmAnswer;
  }

  std::vector<ShownMessage> messages;
  std::vector<PickerCall> pickerCalls;
  std::deque<QString> answers;  // the picker's results in order; an empty text is Cancel
  std::function<void()> onMessage;
  int aboutShown = 0;
  std::vector<QString> importPickerFolders;
  std::deque<QStringList> importAnswers;  // the Import... picker's results in order
  std::vector<ShownMessage> questions;    // Yes/No questions asked
  bool confirmAnswer = true;              // the answer to every question
};

inline bool writeBytes(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}
