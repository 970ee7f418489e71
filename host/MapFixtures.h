// The files of the host's map scenarios: TIFF pictures in the staged
// module's Maps folder and a last-used settings file that names them, so
// that a menu run renders with a reflection image and map layers of every
// kind, as it would from a preset in a real host.
#pragma once
#include <string>

// Writes Maps/*.tif and default.dfs into `moduleFolder`; false with a reason.
bool WriteMapScenarioFiles(const std::string& moduleFolder, std::string* error);
