// Picture tracing in a build without potrace (a Windows tool built without the
// cross-built library): every trace fails with a message that says so.
#include "cli/PictureTrace.h"

std::string CheckTraceSettings(const TraceSettings& settings) { return std::string(); }

bool TracePlane(const uint8_t* plane, int32_t width, int32_t height, uint8_t threshold,
                const TraceSettings& settings, PathModel& path, TraceReport* report, std::string& error) {
  error = "this build of bevelforge cannot trace pictures: it was built without potrace";
  return false;
}
