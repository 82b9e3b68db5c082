// Paths between Qt and the core: QString on the dialog's side, std::filesystem::path on the
// core's, converted the way each platform names files.
#pragma once

#include <QFile>
#include <QString>
#include <filesystem>

namespace solvane::gui {

inline std::filesystem::path toFsPath(const QString& path) {
#ifdef _WIN32
  return std::filesystem::path(path.toStdWString());
#else
  return std::filesystem::path(QFile::encodeName(path).toStdString());
#endif
}

inline QString toQString(const std::filesystem::path& path) {
#ifdef _WIN32
  return QString::fromStdWString(path.native());
#else
  return QFile::decodeName(QByteArray::fromStdString(path.native()));
#endif
}

// Texts from the core (messages, details, cells) are 8-bit text in the local code page.
inline QString fromLocal8Bit(std::string_view text) {
  return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace solvane::gui
