// The path rule of Save As.
#pragma once

#include <string>

namespace plovant {

// The path the export writes for the path `chosen` in the save dialog: ".3ds" is
// appended unless the path already ends in exactly ".3ds" (case-sensitive, so
// "model.3DS" becomes "model.3DS.3ds").
std::string SaveAsPath(const std::string& chosen);

// True when Save As would write to a path other than the one chosen (".3ds" appended)
// and something already lies there: a file the dialog never showed as the choice, which
// must not be replaced without asking. A path chosen as it is never needs the question.
bool SaveAsReplacesUnchosenFile(const std::string& chosen);

}  // namespace plovant
