// Which list a dropped text file is, by its header.
#pragma once

#include <filesystem>
#include <string_view>

namespace solvane::dialog {

enum class ListKind { kNone, kNormal, kAutodoria };

// The normal list's header has "X" as its second field and may follow comment lines; the
// Autodoria list's has "IDX" first and no comments before it. "IDX,X,..." passes both: the file
// name decides ("autodoria" in it, in any case), else normal. Only ".txt" files (in any case)
// are lists; a file that cannot be read is none.
[[nodiscard]] ListKind listKind(const std::filesystem::path& path);

// The same on the file's bytes and name, without reading anything.
[[nodiscard]] ListKind listKindOf(std::string_view bytes, const std::filesystem::path& path);

}  // namespace solvane::dialog
