// The plain-text summary of a model that the information window shows: the file's
// path, the mesh and texture counts, one block per mesh and the texture names.
#pragma once

#include <string>

#include "model/rsm_model.h"

namespace plovant {

// Builds the summary of `model`, read from the file `path` (shown as given). Every
// line, the last included, ends with CR LF. Names are shown up to their first NUL,
// decoded from the game data's code page to UTF-8; a name field without any NUL is
// followed by one extra empty line.
std::string BuildInfoText(const RsmModel& model, const std::string& path);

}  // namespace plovant
