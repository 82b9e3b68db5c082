// The dialog with a large Conversion: is the window still answering while a million rows are
// loaded, shown and written, and does the table scroll smoothly afterwards?
//
//   solvane_dialog_bench [POINTS]      (default 1000000; run with QT_QPA_PLATFORM=offscreen)
//
// A 1 ms timer on the user-interface thread notes the longest time between two of its ticks,
// from the Conversion click until the closing message; that is the longest pause a user could
// notice. It also counts how often the "converted" field changed, and times a repaint of the
// table after jumping to 200 places spread over it. It reports; it never fails on a figure.
#include <QApplication>
#include <QElapsedTimer>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest/QSignalSpy>
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/db_conv_solvane_dlg.h"
#include "bench/list_generator.h"
#include "tests/gui/fake_prompts.h"

using solvane::gui::CDB_Conv_SolvaneDlg;

namespace {

double ms(qint64 ns) { return static_cast<double>(ns) / 1e6; }

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const std::size_t points = argc > 1 ? std::stoul(argv[1]) : 1'000'000;

  QTemporaryDir dir;
  const QString normalPath = dir.filePath("Solvane.txt");
  const QString autodoriaPath = dir.filePath("Autodoria.txt");
  {
    const auto lists = solvane::bench::generateLists(points, solvane::bench::sectionsFor(points), 20241105);
    if (!writeBytes(normalPath, QByteArray::fromStdString(lists.normal)) ||
        !writeBytes(autodoriaPath, QByteArray::fromStdString(lists.autodoria))) {
      std::fprintf(stderr, "cannot write the lists into %s\n", qPrintable(dir.path()));
      return 1;
    }
  }

  FakePrompts prompts;
  CDB_Conv_SolvaneDlg dialog(prompts);
  dialog.show();
  prompts.answers = {normalPath, autodoriaPath};
  dialog.openNormalButton().click();
  dialog.openAutodoriaButton().click();

  QSignalSpy loaded(&dialog, &CDB_Conv_SolvaneDlg::loadFinished);
  QSignalSpy finished(&dialog, &CDB_Conv_SolvaneDlg::conversionFinished);
  int countChanges = 0;
  QObject::connect(&dialog.convertedField(), &QLineEdit::textChanged, [&] { ++countChanges; });

  QElapsedTimer clock;
  qint64 lastTick = 0, longestGap = 0, longestGapAt = 0, loadedAt = 0;
  QTimer ticker;
  ticker.setTimerType(Qt::PreciseTimer);
  ticker.setInterval(1);
  QObject::connect(&ticker, &QTimer::timeout, [&] {
    const qint64 now = clock.nsecsElapsed();
    if (now - lastTick > longestGap) {
      longestGap = now - lastTick;
      longestGapAt = lastTick;
    }
    lastTick = now;
  });
  QObject::connect(&dialog, &CDB_Conv_SolvaneDlg::loadFinished, [&] { loadedAt = clock.nsecsElapsed(); });
  clock.start();
  ticker.start();
  QTimer::singleShot(0, [&] { dialog.convertButton().click(); });
  if (!finished.wait(600'000)) {
    std::fprintf(stderr, "the conversion did not finish\n");
    return 1;
  }
  const qint64 total = clock.nsecsElapsed();
  ticker.stop();
  longestGap = std::max(longestGap, total - lastTick);

  // Scrolling: jump to 200 places and repaint the visible rows each time.
  QTableView& view = dialog.tableView();
  const int rows = view.model()->rowCount();
  qint64 longestRepaint = 0, allRepaints = 0;
  constexpr int kJumps = 200;
  for (int k = 0; k < kJumps; ++k) {
    const int row = static_cast<int>(static_cast<long long>(rows - 1) * k / (kJumps - 1));
    QElapsedTimer t;
    t.start();
    view.scrollTo(view.model()->index(row, 0), QAbstractItemView::PositionAtTop);
    view.viewport()->repaint();
    const qint64 took = t.nsecsElapsed();
    longestRepaint = std::max(longestRepaint, took);
    allRepaints += took;
  }

  const bool converted = !finished.isEmpty() && finished.at(0).at(0).toBool();
  std::printf("dialog, %zu points + %zu sections: %s, %d rows in the table, %s records written\n", points,
              solvane::bench::sectionsFor(points), converted ? "converted" : "NOT converted", rows,
              qPrintable(dialog.converted()));
  std::printf("  Conversion click to closing message: %.0f ms (lists loaded and shown after %.0f ms)\n", ms(total),
              ms(loadedAt));
  std::printf("  longest pause of the user-interface thread: %.1f ms (starting at %.0f ms; target <= 100)\n",
              ms(longestGap), ms(longestGapAt));
  std::printf("  the converted count changed %d times\n", countChanges);
  std::printf("  table repaint after a jump: longest %.1f ms, mean %.2f ms (%d jumps)\n", ms(longestRepaint),
              ms(allRepaints) / kJumps, kJumps);
  return converted ? 0 : 1;
}
