// The fields of one comma-separated line: a comma ends a field, and the table keeps the first
// 14 of them.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "app/camera_table.h"

namespace solvane {

// The fields of one line: the first 14 (the table's columns) and how many there were in all.
struct LineFields {
  std::array<std::string_view, kColumnCount> cells{};
  std::size_t count = 0;          // fields on the line, at least 1
  std::string_view last;          // the field after the last comma (or the whole line)
  [[nodiscard]] std::size_t kept() const noexcept {
    return count < static_cast<std::size_t>(kColumnCount) ? count : kColumnCount;
  }
};

LineFields splitFields(std::string_view line) noexcept;

// Field `column` of the line alone (empty when the line has fewer fields).
std::string_view fieldOf(std::string_view line, int column) noexcept;

}  // namespace solvane
