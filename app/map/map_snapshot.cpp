// map_snapshot: renders the map preview of two camera lists into a PNG, offscreen.
// Usage: map_snapshot <normal list|-> <Autodoria list|-> <out.png> [width height [lat lon px/degree]]
// It makes the guide's picture and lets one look at a list's map without the dialog.
#include <QApplication>
#include <QPixmap>

#include <cstdio>
#include <cstdlib>

#include "app/map/map_window.h"
#include "load/load_command.h"

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s <normal list|-> <Autodoria list|-> <out.png> [width height [lat lon px/degree]]\n",
                 argv[0]);
    return 2;
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  solvane::CameraTable table;
  const auto path = [](const char* a) {
    return std::string_view(a) == "-" ? std::filesystem::path() : std::filesystem::path(a);
  };
  const solvane::LoadResult loaded = solvane::loadSources(table, {path(argv[1]), path(argv[2])});
  if (!loaded.ok()) {
    std::fprintf(stderr, "%s\n%s\n", loaded.error->message.c_str(), loaded.error->detail.c_str());
    return 1;
  }
  solvane::map::MapWindow window;
  if (argc >= 6) window.resize(std::atoi(argv[4]), std::atoi(argv[5]));
  window.showTable(table, false, std::make_shared<const solvane::TableFindings>(solvane::TableFindings::build(table)));
  window.show();
  QApplication::processEvents();
  if (argc >= 9) {
    const double lat = std::atof(argv[6]), lon = std::atof(argv[7]);
    window.view()->setView({window.view()->index()->toWorldX(lon), lat}, std::atof(argv[8]));
  }
  if (!window.grab().save(QString::fromLocal8Bit(argv[3]))) {
    std::fprintf(stderr, "cannot write %s\n", argv[3]);
    return 1;
  }
  return 0;
}
