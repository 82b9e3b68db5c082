#include "check/list_check.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <unordered_map>

#include "base/c_number.h"
#include "base/source_file.h"
#include "check/row_check.h"

namespace solvane {
namespace {

constexpr std::size_t kPointFields = 7;  // IDX, X, Y, TYPE, SPD, DTYPE, DIR

std::string quoted(std::string_view name, std::string_view text) {
  return std::string(name) + " \"" + std::string(text) + "\"";
}

std::string cellsFor(RowCheck::Issue issue, const RowCells& c, RowOrigin origin, const RowSource& src, bool section) {
  switch (issue) {
    case RowCheck::Issue::kSkipped: return quoted("X", c[kX]) + ", " + quoted("Y", c[kY]);
    case RowCheck::Issue::kXNotNumber: return quoted("X", c[kX]);
    case RowCheck::Issue::kYNotNumber: return quoted("Y", c[kY]);
    case RowCheck::Issue::kEndPointOutOfRange: return quoted("X2", c[kX2]) + ", " + quoted("Y2", c[kY2]);
    case RowCheck::Issue::kSectionType16: return quoted("TYPE", c[kType]);
    case RowCheck::Issue::kEndPointMissing:
      if (section) return quoted("X2", c[kX2]) + ", " + quoted("Y2", c[kY2]);
      if (origin == RowOrigin::kAutodoriaList && src.endLine == 0) return "the end-point line never came";
      return quoted("X2", c[kX2]);
  }
  return {};
}

const char* kindName(RowCheck::Issue issue) {
  switch (issue) {
    case RowCheck::Issue::kSkipped: return "skipped";
    case RowCheck::Issue::kXNotNumber: return "xNotNumber";
    case RowCheck::Issue::kYNotNumber: return "yNotNumber";
    case RowCheck::Issue::kEndPointMissing: return "endPointMissing";
    case RowCheck::Issue::kEndPointOutOfRange: return "endPointOutOfRange";
    case RowCheck::Issue::kSectionType16: return "sectionType16";
  }
  return "";
}

void extraFieldNotes(const std::string& file, RowOrigin origin, const RowSource& src, std::vector<CheckFinding>& out) {
  const auto add = [&](std::size_t line, std::string what) {
    out.push_back({file, line, false, "extraFields", std::move(what), {}, {}});
  };
  if (origin == RowOrigin::kNormalList) {
    if (src.fields > kPointFields) {
      std::string what = std::to_string(src.fields) + " fields, more than the 7 of a point: fields 8 to 14 go to " +
                         "the end-point columns IDX2..DIR2";
      if (src.fields > static_cast<std::size_t>(kColumnCount)) what += ", fields after the 14th are dropped";
      add(src.line, std::move(what));
    }
    return;
  }
  if (src.fields > kPointFields) {
    add(src.line, std::to_string(src.fields) + " fields, more than the 7 of a point: the end-point line moves " +
                      "right by " + std::to_string(src.fields - kPointFields) + " column(s)");
  }
  if (src.endLine != 0) {
    if (src.endFields > kPointFields) {
      add(src.endLine, std::to_string(src.endFields) + " fields, more than the 7 of a point");
    }
    const std::size_t total = src.fields + src.endFields;
    if (total > static_cast<std::size_t>(kColumnCount)) {
      add(src.endLine, std::to_string(total - kColumnCount) + " field(s) past the 14 columns are dropped");
    }
  }
}

}  // namespace

std::size_t CheckReport::problemCount() const {
  return static_cast<std::size_t>(
      std::count_if(findings.begin(), findings.end(), [](const CheckFinding& f) { return f.problem; }));
}

int CheckReport::exitCode() const {
  if (loadError) return loadError->message == kErrorWrongFile ? 1 : 2;
  return problemCount() > 0 ? 1 : 0;
}

CheckReport checkSources(const SourcePaths& paths, const QualityOptions& quality) {
  CheckReport report;
  CameraTable table;
  RowSources sources;
  LoadResult load = loadSources(table, paths, &sources);
  if (!load.ok()) {
    report.loadError = std::move(load.error);
    return report;
  }
  report.rows = table.rowCount();

  const std::string normalName = paths.normal.empty() ? "" : displayPath(paths.normal);
  const std::string autodoriaName = paths.autodoria.empty() ? "" : displayPath(paths.autodoria);
  const std::size_t normalRows = sources.normal.size();
  // The loader's lines of row i, and its list.
  const auto sourceOf = [&](std::size_t i) -> const RowSource& {
    return i < normalRows ? sources.normal[i] : sources.autodoria[i - normalRows];
  };

  if (report.rows == 0) {
    report.findings.push_back({paths.normal.empty() ? autodoriaName : normalName,
                               0,
                               true,
                               "noRows",
                               "the lists hold no camera rows: a conversion writes nothing",
                               {},
                               {}});
  }

  struct Key {
    std::int64_t v;
    bool operator==(const Key&) const = default;
  };
  struct KeyHash {
    std::size_t operator()(const Key& k) const noexcept { return std::hash<std::int64_t>{}(k.v); }
  };
  std::unordered_map<Key, std::size_t, KeyHash> firstAt;
  const bool nearCoversShared = quality.nearMetres >= kNearCoversSameCoordinatesMetres;

  for (std::size_t i = 0; i < table.rowCount(); ++i) {
    const RowSource& src = sourceOf(i);
    const RowOrigin origin = i < normalRows ? RowOrigin::kNormalList : RowOrigin::kAutodoriaList;
    const std::string& file = i < normalRows ? normalName : autodoriaName;
    const RowCells cells = table.cells(i);
    const RowCheck c = checkRow(cells, origin);
    if (c.skipped()) ++report.skipped;
    if (c.atZero()) ++report.atZero;
    if (c.endPointMissing) ++report.withoutEndPoint;
    if (!c.skipped()) {
      ++report.records;
      if (c.section) ++report.sections;
    }
    std::optional<GeoPoint> at;
    if (!c.skipped() && !c.atZero()) at = GeoPoint{parseCDouble(cells[kY]), parseCDouble(cells[kX])};
    for (const RowCheck::Finding& f : c.findings()) {
      // Every Autodoria section is written with TYPE 16; that is only news for a normal-list line.
      if (f.issue == RowCheck::Issue::kSectionType16 && origin == RowOrigin::kAutodoriaList) continue;
      report.findings.push_back({file,
                                 src.line,
                                 f.problem,
                                 kindName(f.issue),
                                 f.text + " (" + cellsFor(f.issue, cells, origin, src, c.section) + ")",
                                 at,
                                 {}});
    }
    if (src.typeRule != TypeRule::kNotApplied) {
      report.findings.push_back(
          {file,
           src.line,
           false,
           "typeRule",
           (src.typeRule == TypeRule::kEmptyStoredAsThree ? std::string("empty TYPE") : quoted("TYPE", "2")) +
               " stored as \"3\" (TYPE rule)",
           at,
           {}});
    }
    extraFieldNotes(file, origin, src, report.findings);
    if (!c.skipped() && !c.atZero() && !nearCoversShared) {
      const Key key{static_cast<std::int64_t>(c.longitude) * (std::int64_t{1} << 32) +
                    static_cast<std::uint32_t>(c.latitude)};
      const auto [it, fresh] = firstAt.try_emplace(key, i);
      if (!fresh) {
        const std::string& otherFile = it->second < normalRows ? normalName : autodoriaName;
        report.findings.push_back({file,
                                   src.line,
                                   false,
                                   "sharedCoordinates",
                                   "same coordinates as " + otherFile + ":" +
                                       std::to_string(sourceOf(it->second).line) + " (" + quoted("X", cells[kX]) +
                                       ", " + quoted("Y", cells[kY]) + ")",
                                   at,
                                   {}});
      }
    }
  }
  const auto nameOf = [&](std::size_t row) {
    return (row < normalRows ? normalName : autodoriaName) + ":" + std::to_string(sourceOf(row).line);
  };
  for (QualityFinding& f : checkQuality(table, quality, nameOf)) {
    if (f.problem) ++report.qualityProblems;
    report.findings.push_back({f.row < normalRows ? normalName : autodoriaName, sourceOf(f.row).line, f.problem, f.kind,
                               std::move(f.text) + " (" + f.cells + ")", f.at, f.to});
  }
  // Rows are in list order already (normal list, then Autodoria); keep lines in order within each.
  std::stable_sort(report.findings.begin(), report.findings.end(), [&](const CheckFinding& a, const CheckFinding& b) {
    const bool aNormal = a.file == normalName, bNormal = b.file == normalName;
    if (aNormal != bNormal) return aNormal;
    return a.line < b.line;
  });
  return report;
}

}  // namespace solvane
