#include "table/camera_table.h"
#include "table/line_fields.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace solvane {
namespace {

std::vector<std::string> column(const CameraTable& t, int col) {
  std::vector<std::string> out;
  for (std::size_t r = 0; r < t.rowCount(); ++r) out.emplace_back(t.cell(r, col));
  return out;
}

TEST(CameraTable, OperationsOnMissingRowsAndColumnsDoNothing) {
  CameraTable t;
  EXPECT_EQ(t.insertRow(5, "a"), 0u);  // beyond the end appends at the old row count
  EXPECT_EQ(t.insertRow(99, "b"), 1u);
  t.setCell(2, 1, "x");   // no such row
  t.setCell(0, 14, "x");  // no such column
  t.setCell(0, -1, "x");
  t.setItemData(7, 3);
  t.deleteRow(9);
  EXPECT_EQ(t.rowCount(), 2u);
  EXPECT_EQ(t.cell(0, 14), "");
  EXPECT_EQ(t.cell(5, 0), "");
  EXPECT_EQ(t.itemData(0), 0);
  for (int c = 1; c < kColumnCount; ++c) EXPECT_EQ(t.cell(0, c), "") << c;
}

TEST(CameraTable, CellsKeepExactBytesThroughInsertSetAndDelete) {
  CameraTable t;
  t.insertRow(0, "first");
  t.insertRow(0, "zero");  // inserts before row 0
  const std::string binary("\x00\xff,\"q\" ", 7);
  t.setCell(1, 13, binary);
  t.setCell(1, 2, std::string(300, 'y'));  // lengths beyond one varint byte
  t.setCell(1, 2, "37.5");                 // replacing keeps the other cells
  t.setItemData(1, 42);
  EXPECT_EQ(column(t, 0), (std::vector<std::string>{"zero", "first"}));
  EXPECT_EQ(t.cell(1, 13), binary);
  EXPECT_EQ(t.cell(1, 2), "37.5");
  EXPECT_EQ(t.findByItemData(42), 1);
  EXPECT_EQ(t.findByItemData(7), -1);
  t.deleteRow(0);
  EXPECT_EQ(t.cell(0, 0), "first");
  EXPECT_EQ(t.itemData(0), 42);
  t.deleteAllRows();
  EXPECT_EQ(t.rowCount(), 0u);
  EXPECT_EQ(kColumns[2].heading, "Y");  // the columns stay
}

TEST(CameraTable, AppendRowDropsCellsPastTheFourteenth) {
  CameraTable t;
  std::vector<std::string_view> cells(16, "v");
  cells[13] = "last";
  t.appendRow(cells, 5);
  EXPECT_EQ(t.cell(0, 13), "last");
  EXPECT_EQ(t.itemData(0), 5);
  const RowCells all = t.cells(0);
  EXPECT_EQ(all[0], "v");
  EXPECT_EQ(all[13], "last");
}

// A row made from a line must read like the row its fields would make, whether the line lies
// in text the table keeps (referred to) or elsewhere (copied, so the caller's buffer may go).
TEST(CameraTable, LineRowsReadLikeTheirFieldsInKeptAndCopiedText) {
  CameraTable t;
  const std::string list = "1,126.5,33.25,,60,1,90,x,y,z,a,b,c,d,past\n2,127,34\n";
  t.keepText(std::make_shared<char[]>(1), {});  // an empty block is ignored
  auto owner = std::make_shared<std::string>(list);
  t.keepText(std::shared_ptr<const char[]>(owner, owner->data()), *owner);
  const std::string_view kept = *owner;
  t.appendLine(kept.substr(0, kept.find('\n')), true, 7);
  {
    std::string elsewhere = "3,128,35,2";
    t.appendLine(elsewhere, false, 8);
    elsewhere.assign(elsewhere.size(), '#');
  }
  owner.reset();  // the table still holds the list

  const RowCells first = t.cells(0);
  EXPECT_EQ(first[kType], "3");  // the TYPE rule's value, not the empty field
  EXPECT_EQ(t.cell(0, kType), "3");
  EXPECT_EQ(first[kSpd], "60");
  EXPECT_EQ(t.cell(0, kDir2), "d");  // the 15th field is dropped
  EXPECT_EQ(first[kDir2], "d");
  EXPECT_EQ(t.cell(1, kType), "2");
  EXPECT_EQ(t.cell(1, kX2), "");
  EXPECT_EQ(column(t, kY), (std::vector<std::string>{"33.25", "35"}));
  EXPECT_EQ(t.itemData(1), 8);

  // Changing one cell keeps the others, the TYPE rule's value among them.
  t.setCell(0, kSpd, "80");
  EXPECT_EQ(t.cell(0, kType), "3");
  EXPECT_EQ(t.cell(0, kSpd), "80");
  EXPECT_EQ(t.cell(0, kX), "126.5");
  t.setCells(1, kDir2, std::vector<std::string_view>{"e", "dropped"});
  EXPECT_EQ(t.cell(1, kDir2), "e");
  EXPECT_EQ(t.cell(1, kY), "35");
}

// Item data are the caller's values: small ones live in the row, others beside it; every kind
// must come back unchanged through sorting, edits and appending, and be found again.
TEST(CameraTable, ItemDataOfAnyValueSurviveSortEditsAndAppends) {
  const ItemData values[] = {0, 1, (ItemData{1} << 29) - 1, ItemData{1} << 29, -1, INTPTR_MIN, INTPTR_MAX, 12345};
  CameraTable t;
  for (std::size_t i = 0; i < std::size(values); ++i) {
    const std::string line =
        std::to_string(i) + ",127," + std::to_string(40 - static_cast<int>(i));  // reversed by the sort
    t.appendLine(line, false, values[i]);
  }
  t.setCell(2, kSpd, "80");
  t.setItemData(3, -7);
  t.setItemData(3, values[3]);  // replaced again: the value in force is the last one
  t.sortByLatitude();
  for (std::size_t i = 0; i < std::size(values); ++i) {
    const std::size_t row = std::size(values) - 1 - i;
    EXPECT_EQ(t.itemData(row), values[i]) << i;
    EXPECT_EQ(t.findByItemData(values[i]), static_cast<std::ptrdiff_t>(row)) << i;
  }
  EXPECT_EQ(t.findByItemData(-7), -1);

  CameraTable later;
  later.appendLine("a,1,2", false, INTPTR_MAX);
  later.appendLine("b,1,2", false, 5);
  t.appendTable(std::move(later), 10);
  EXPECT_EQ(t.itemData(std::size(values)), INTPTR_MIN + 9);  // wraps as unsigned numbers do
  EXPECT_EQ(t.itemData(std::size(values) + 1), 15);
  EXPECT_EQ(t.itemData(0), values[std::size(values) - 1]);
}

TEST(CompareByLatitude, ComparesAtofValues) {
  const struct {
    const char* a;
    const char* b;
    int expected;
  } cases[] = {
      {"37.5abc", "37.5", 0}, {" 37.5", "37.5", 0}, {"37,5", "37", 0},  {"1e1", "10", 0}, {"37.50", "37.5", 0},
      {"", "0", 0},           {"abc", "-0.1", 1},   {"abc", "0.1", -1}, {"-5", "4", -1},  {"4", "-5", 1},
  };
  for (const auto& c : cases) EXPECT_EQ(CompareByLatitude(c.a, c.b), c.expected) << c.a << " vs " << c.b;
}

TEST(CameraTable, SortByLatitudeIsStableAndUsesEachRowsOwnLatitude) {
  CameraTable t;
  // Item data deliberately shared (0) as after a failed load: the sort must not care.
  const char* ys[] = {"37.5", "x", "-1", "37.50", "1e1", "", "-1e999", "37.5km"};
  for (int i = 0; i < 8; ++i) {
    const std::string idx = std::to_string(i);
    const std::string_view cells[] = {idx, "0", ys[i]};
    t.appendRow(cells, 0);
  }
  t.sortByLatitude();
  EXPECT_EQ(column(t, 0), (std::vector<std::string>{"6", "2", "1", "5", "4", "0", "3", "7"}));
}

}  // namespace
}  // namespace solvane

namespace solvane {
namespace {

// Both ways of reading fields (the whole split, and one field alone) against a plain split,
// over lines of every length with commas anywhere (bytes with the high bit set among them).
TEST(SplitFields, MatchesAPlainSplitForAnyLine) {
  std::uint32_t state = 12345;
  const auto next = [&] { return state = state * 1103515245u + 12345u; };
  const char alphabet[] = {',', ',', '1', '.', 'a', '\xAC', '\x2D', '\x2B', ' ', '\xFF'};
  for (int round = 0; round < 3000; ++round) {
    std::string line(next() % 70, ' ');
    for (char& c : line) c = alphabet[(next() >> 16) % sizeof alphabet];
    std::vector<std::string_view> plain;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= line.size(); ++i) {
      if (i == line.size() || line[i] == ',') {
        plain.push_back(std::string_view(line).substr(start, i - start));
        start = i + 1;
      }
    }
    const LineFields f = splitFields(line);
    ASSERT_EQ(f.count, plain.size()) << line;
    EXPECT_EQ(f.last, plain.back()) << line;
    for (std::size_t k = 0; k < f.kept(); ++k) ASSERT_EQ(f.cells[k], plain[k]) << line << " field " << k;
    const char* const end = line.data() + line.size();
    for (std::size_t nth = 1; nth <= plain.size(); ++nth) {
      // The n-th comma ends field n - 1; past the last field there is none.
      const std::size_t expected =
          nth < plain.size() ? static_cast<std::size_t>(plain[nth - 1].data() + plain[nth - 1].size() - line.data())
                             : line.size();
      ASSERT_EQ(static_cast<std::size_t>(findNthComma(line.data(), end, static_cast<int>(nth)) - line.data()), expected)
          << line << " comma " << nth;
    }
    for (int column = 0; column < kColumnCount + 2; ++column) {
      const std::string_view expected = static_cast<std::size_t>(column) < plain.size()
                                            ? plain[static_cast<std::size_t>(column)]
                                            : std::string_view();
      ASSERT_EQ(fieldOf(line, column), expected) << line << " column " << column;
    }
  }
}

}  // namespace
}  // namespace solvane
