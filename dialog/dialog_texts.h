// The dialog's fixed texts, shared by every front end: captions, default file names, picker
// filters, the About item and box. UTF-8 throughout; each front end converts at its edge.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace solvane::dialog {

inline constexpr const char* kTitle = "Corlan DB Solvane [2016.03.02]";
// The caption of every message box and the application's name.
inline constexpr const char* kAppName = "DB_Conv_Solvane";

inline constexpr const char* kDefaultNormalName = "Solvane.txt";
inline constexpr const char* kDefaultAutodoriaName = "Autodoria.txt";

// The one filter of the source-file picker: shown text, then pattern.
inline constexpr const char* kSourceFilter = "Text File(*.txt) ";
inline constexpr const char* kSourcePattern = "*.txt";

// The Import... picker: its title, then two filters, camera data in every format the import
// reads and all files.
inline constexpr const char* kImportPickerTitle = "Import camera data";
inline constexpr const char* kImportFilterName = "Camera data";
inline constexpr std::array<const char*, 9> kImportPatterns = {"*.csv", "*.gpx", "*.kml", "*.geojson", "*.json",
                                                               "*.osm", "*.pbf", "*.bz2", "*.gz"};
inline constexpr const char* kAllFilesName = "All files";
inline constexpr const char* kAllFilesPattern = "*";

// The About item of the window's system menu and its command; the low four bits of a system
// command are the system's own.
inline constexpr const char* kAboutMenuText = "&About DB_Conv_Solvane...";
inline constexpr unsigned kIdmAboutBox = 0x0010;
[[nodiscard]] constexpr bool isAboutCommand(unsigned command) noexcept { return (command & 0xFFF0u) == kIdmAboutBox; }

// The About box.
inline constexpr const char* kAboutTitle = "About DB_Conv_Solvane";
// "DB_Conv_Solvane Version 1.0", with the program's short version.
[[nodiscard]] std::string aboutVersionText();

// Import... and dropped camera data.
inline constexpr const char* kReplaceListsQuestion = "Replace the lists in this folder?";
inline constexpr const char* kImportFailed = "Import failed; nothing was written.";
// "<folder> already holds Solvane.txt or Autodoria.txt; the import writes both."
[[nodiscard]] std::string replaceListsDetail(std::string_view folder);
// "Lists written to <folder>, ready for Conversion."
[[nodiscard]] std::string listsWrittenText(std::string_view folder);
// The import's progress line: "Importing: 40 % (1.2 of 3.0 MB), 12 camera(s) so far", or
// without a known total "Importing: 1.2 MB read, 12 camera(s) so far" (MB of 10^6 bytes,
// tenths cut off).
[[nodiscard]] std::string importProgressText(std::uint64_t bytesRead, std::uint64_t bytesTotal, std::size_t objects);
// How far, 0 to 1000; -1 without a total.
[[nodiscard]] int importPermille(std::uint64_t bytesRead, std::uint64_t bytesTotal) noexcept;

}  // namespace solvane::dialog
