#include "frame/AboutSelector.h"

void RunAboutSelector(const AboutRecord* about) {
  // The About box of the dialog layer opens here, owned by the window in the
  // record's platform data (about->platformData, a PlatformData, may be null);
  // until that layer exists the selector shows nothing.
}
