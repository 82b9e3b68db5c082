#include "check/row_check.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

namespace solvane {
namespace {

RowCells makeRow(std::initializer_list<std::string_view> cells) {
  RowCells row{};
  std::size_t i = 0;
  for (const auto c : cells) row[i++] = c;
  return row;
}

TEST(RowCheck, OutOfRangeNamesCoordinateScaledValueAndBound) {
  struct Case {
    std::string_view x, y;
    Column column;
    std::int32_t scaled, bound;
  };
  for (const Case& k : {Case{"180.0001", "10", kX, 1800001, 1800000}, Case{"-180.0001", "10", kX, -1800001, -1800000},
                        Case{"10", "90.0001", kY, 900001, 900000}, Case{"10", "-95", kY, -950000, -900000},
                        Case{"200", "95", kX, 2000000, 1800000},  // X is tested first
                        Case{"1e300", "0", kX, INT32_MIN, -1800000}}) {
    SCOPED_TRACE(std::string(k.x) + "," + std::string(k.y));
    const RowCheck c = checkRow(makeRow({"1", k.x, k.y, "1", "50", "0", "90"}));
    ASSERT_TRUE(c.skipped());
    EXPECT_EQ(c.outOfRange->column, k.column);
    EXPECT_EQ(c.outOfRange->scaled, k.scaled);
    EXPECT_EQ(c.outOfRange->bound, k.bound);
    EXPECT_TRUE(c.isProblem());
    EXPECT_EQ(c.reason().rfind("skipped: ", 0), 0u) << c.reason();
  }
  EXPECT_EQ(checkRow(makeRow({"1", "10", "95.5"})).reason(), "skipped: Y scales to 955000, above 900000");
  EXPECT_EQ(checkRow(makeRow({"1", "1e300", "0"})).reason(), "skipped: X does not fit in 32 bits once scaled");
}

TEST(RowCheck, BoundsAreInRange) {
  for (const auto& [x, y] : {std::pair{"180", "90"}, {"-180", "-90"}, {"180.00009", "-90.00009"}}) {
    const RowCheck c = checkRow(makeRow({"1", x, y, "1"}));
    EXPECT_FALSE(c.skipped()) << x << "," << y;
    EXPECT_FALSE(c.isProblem());
    EXPECT_EQ(c.reason(), "");
  }
}

TEST(RowCheck, NoNumberMeansWrittenAtZero) {
  struct Case {
    std::string_view x, y;
    bool xBad, yBad;
  };
  for (const Case& k : {Case{"", "37.5", true, false}, Case{"127.1", "", false, true}, Case{"abc", "x1", true, true},
                        Case{" ", ".", true, true}, Case{" -.5", "+0", false, false}, Case{"0", "0.0", false, false},
                        Case{"12km", " 3", false, false}}) {
    SCOPED_TRACE(std::string(k.x) + "|" + std::string(k.y));
    const RowCheck c = checkRow(makeRow({"1", k.x, k.y}));
    EXPECT_EQ(c.xNotNumber, k.xBad);
    EXPECT_EQ(c.yNotNumber, k.yBad);
    EXPECT_EQ(c.atZero(), k.xBad || k.yBad);
    EXPECT_EQ(c.isProblem(), k.xBad || k.yBad);
  }
  EXPECT_EQ(checkRow(makeRow({"1", "", ""})).reason(),
            "X is not a number: written at longitude 0; Y is not a number: written at latitude 0");
  // A skipped row is not also reported at zero: it is not written at all.
  const RowCheck skipped = checkRow(makeRow({"1", "", "99"}));
  EXPECT_TRUE(skipped.skipped());
  EXPECT_FALSE(skipped.atZero());
}

TEST(RowCheck, SectionsAndTheirEndPoints) {
  // A complete section with TYPE 3: written as TYPE 16, a note only.
  const RowCheck full =
      checkRow(makeRow({"1", "127", "37", "3", "80", "1", "90", "2", "127.1", "37.1", "3", "80", "1", "90"}),
               RowOrigin::kAutodoriaList);
  EXPECT_TRUE(full.section);
  EXPECT_EQ(full.typeByte, 16);
  EXPECT_TRUE(full.sectionType16);
  EXPECT_FALSE(full.isProblem());
  EXPECT_TRUE(full.isNote());
  EXPECT_EQ(full.reason(), "section: TYPE written as 16");

  // TYPE 16 already: nothing to say.
  const RowCheck type16 = checkRow(makeRow({"1", "127", "37", "16", "80", "1", "90", "2", "127.1", "37.1"}));
  EXPECT_FALSE(type16.sectionType16);
  EXPECT_EQ(type16.reason(), "");

  // An Autodoria row whose second line never came.
  const RowCheck noEnd = checkRow(makeRow({"1", "127", "37", "3", "80", "1", "90"}), RowOrigin::kAutodoriaList);
  EXPECT_FALSE(noEnd.section);
  EXPECT_TRUE(noEnd.endPointMissing);
  EXPECT_TRUE(noEnd.isProblem());
  EXPECT_EQ(noEnd.reason(), "section without an end point: written as a single point");
  // The same cells from the normal list are an ordinary point.
  EXPECT_FALSE(checkRow(makeRow({"1", "127", "37", "3", "80", "1", "90"}), RowOrigin::kNormalList).isProblem());
  EXPECT_FALSE(checkRow(makeRow({"1", "127", "37", "3", "80", "1", "90"})).isProblem());
  // Unknown origin: end-point cells without X2 give it away.
  EXPECT_TRUE(checkRow(makeRow({"1", "127", "37", "3", "80", "1", "90", "2", "", "37.1"})).endPointMissing);

  // A blank X2 makes a section whose end point reads as 0.
  const RowCheck blank = checkRow(makeRow({"1", "127", "37", "3", "80", "1", "90", "2", " ", "37.1"}));
  EXPECT_TRUE(blank.section);
  EXPECT_TRUE(blank.endPointMissing);
  EXPECT_TRUE(blank.isProblem());

  // An end point out of range is written anyway: a note.
  const RowCheck far = checkRow(makeRow({"1", "127", "37", "16", "80", "1", "90", "2", "200", "37.1"}));
  EXPECT_TRUE(far.endPointOutOfRange);
  EXPECT_FALSE(far.isProblem());
  EXPECT_TRUE(far.isNote());
}

}  // namespace
}  // namespace solvane
