// The camera table model: what the view is shown for each cell and heading, and the hook
// for extra roles.
#include <QColor>
#include <QSignalSpy>
#include <QtTest>
#include <string_view>
#include <vector>

#include "app/camera_table_model.h"

using solvane::CameraTable;
using solvane::gui::CameraTableModel;

namespace {

void addRow(CameraTable& table, std::vector<std::string_view> cells, solvane::ItemData itemData) {
  table.appendRow(cells, itemData);
}

}  // namespace

class ModelTest : public QObject {
  Q_OBJECT
 private slots:
  void headingsAndAlignment() {
    CameraTable table;
    CameraTableModel model(table);
    QCOMPARE(model.columnCount(), 14);
    QCOMPARE(model.rowCount(), 0);
    const char* headings[] = {"IDX",  "X",  "Y",  "TYPE",  "SPD",  "DTYPE",  "DIR",
                              "IDX2", "X2", "Y2", "TYPE2", "SPD2", "DTYPE2", "DIR2"};
    for (int c = 0; c < 14; ++c) {
      QCOMPARE(model.headerData(c, Qt::Horizontal).toString(), QString::fromLatin1(headings[c]));
      const int expected = c == 0 ? int(Qt::AlignLeft | Qt::AlignVCenter) : int(Qt::AlignHCenter | Qt::AlignVCenter);
      QCOMPARE(model.headerData(c, Qt::Horizontal, Qt::TextAlignmentRole).toInt(), expected);
    }
    QVERIFY(!model.headerData(14, Qt::Horizontal).isValid());
    QVERIFY(!model.headerData(0, Qt::Vertical).isValid());
  }

  void cellsAreShownAsStoredAndDecoded() {
    CameraTable table;
    // Cells are bytes in the local code page; a Korean place name in UTF-8 and a cell with
    // blanks and a decimal comma must come through untouched.
    addRow(table, {"1", "127.0", "37.5", "\xEC\x84\x9C\xEC\x9A\xB8", " 5,5 "}, 1);
    addRow(table, {"2", "126.5", "35.1", "3", "60", "1", "90", "7", "126.6", "35.2", "3", "60", "1", "95"}, 2);
    CameraTableModel model(table);
    QCOMPARE(model.rowCount(), 2);
    QCOMPARE(model.index(0, 3).data().toString(), QString::fromUtf8("\xEC\x84\x9C\xEC\x9A\xB8"));
    QCOMPARE(model.index(0, 4).data().toString(), QStringLiteral(" 5,5 "));
    QCOMPARE(model.index(0, 13).data().toString(), QString());  // never set
    QCOMPARE(model.index(1, 13).data().toString(), QStringLiteral("95"));
    QCOMPARE(model.index(1, 0).data(Qt::TextAlignmentRole).toInt(), int(Qt::AlignLeft | Qt::AlignVCenter));
    QCOMPARE(model.index(1, 5).data(Qt::TextAlignmentRole).toInt(), int(Qt::AlignHCenter | Qt::AlignVCenter));
    QCOMPARE(model.index(1, 0).data(CameraTableModel::kItemDataRole).toLongLong(), 2);
    QVERIFY(!model.index(2, 0).isValid());
    QVERIFY(model.flags(model.index(0, 0)).testFlag(Qt::ItemIsSelectable));
    QVERIFY(!model.flags(model.index(0, 0)).testFlag(Qt::ItemIsEditable));
  }

  void reloadFollowsTheTable() {
    CameraTable table;
    CameraTableModel model(table);
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    addRow(table, {"1", "127.0", "37.5"}, 1);
    addRow(table, {"2", "127.0", "36.5"}, 2);
    model.reload();
    QCOMPARE(reset.count(), 1);
    QCOMPARE(model.rowCount(), 2);
    table.sortByLatitude();
    model.reload();
    QCOMPARE(model.index(0, 2).data().toString(), QStringLiteral("36.5"));
    table.deleteAllRows();
    model.reload();
    QCOMPARE(model.rowCount(), 0);
    QCOMPARE(model.columnCount(), 14);
  }

  void roleHookAddsRolesButNotText() {
    CameraTable table;
    addRow(table, {"1", "127.0", "95.0"}, 1);
    addRow(table, {"2", "127.0", "37.0"}, 2);
    CameraTableModel model(table);
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    model.setRoleHook([](const CameraTable& t, std::size_t row, int, int role) -> QVariant {
      if (role == Qt::BackgroundRole && t.cell(row, solvane::kY) == "95.0") return QColor(Qt::yellow);
      if (role == Qt::DisplayRole) return QStringLiteral("hooked");
      return {};
    });
    QCOMPARE(reset.count(), 1);  // the view repaints with the new roles
    QCOMPARE(model.index(0, 1).data(Qt::BackgroundRole).value<QColor>(), QColor(Qt::yellow));
    QVERIFY(!model.index(1, 1).data(Qt::BackgroundRole).isValid());
    // The hook cannot change what a cell holds, and the model's own roles fall through.
    QCOMPARE(model.index(0, 1).data().toString(), QStringLiteral("127.0"));
    QCOMPARE(model.index(0, 1).data(Qt::TextAlignmentRole).toInt(), int(Qt::AlignHCenter | Qt::AlignVCenter));
  }
};

QTEST_MAIN(ModelTest)
#include "model_test.moc"
