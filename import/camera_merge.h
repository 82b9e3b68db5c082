// `solvane import --merge METRES`: cameras of several sources (and within one) that stand
// within METRES of each other and face a way that agrees become one camera.
//
// The cameras are taken in reading order (the files in the order given, each in its own
// order). Each joins the nearest camera before it that is still its own camera, of the same
// kind (point or section; a section by both ends), within METRES and with a direction of
// travel that agrees (as for `solvane diff`: within 30 degrees, either way for DTYPE 2, any way
// for a camera without one); ties go to the earlier camera. So the first file's values win,
// and the camera kept takes from the ones joining it only what it lacks: the speed, and the
// direction (with its DTYPE). A camera never joins one that joined another, so no merged
// camera lies farther than METRES from the one kept.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "import/camera_set.h"

namespace solvane::importer {

struct CameraMerge {
  std::size_t keptFile = 0, mergedFile = 0;  // indices into the files read
  std::string kept, merged;                  // the two cameras' places ("line 3", "node 42")
  double metres = 0;
  bool tookSpeed = false, tookDirection = false;
};

struct MergeReport {
  double metres = 0;
  std::vector<CameraMerge> merges;  // in the order of the cameras merged away
  // merged[k][f]: cameras of file f that joined a camera of file k.
  std::vector<std::vector<std::size_t>> merged;
};

// Merges the set's cameras; `camerasPerFile` counts, in order, the cameras each file added.
MergeReport mergeCameras(CameraSet& set, std::span<const std::size_t> camerasPerFile, double metres);

}  // namespace solvane::importer
