// The words the reports on symbol maps share, whatever their form (text, HTML, Markdown): the
// class names, places, distances, a map's verdict and the values of one change.
#pragma once

#include "symbol_map.h"

namespace plcinfo {

// "variable added", ..., "room changed", ... as the text report names each class.
extern const char* const ClassLabels[ChangeClassCount];
// "0030:01A4".
std::string place(const MapRow& row);
// "+0002", "-0010".
std::string signedHex(std::int64_t value);
// "symbol map sound", "3 findings".
std::string soundness(const SymbolMap& map);
// The values of one change: "old -> new" or the one side there is.
std::string changeText(const MapComparison& comparison, const Change& change);
// "V0000020 ... V0001996: 495 variables of 0030 by +0002".
std::string runText(const MapComparison& comparison, const MoveRun& run);

} // namespace plcinfo
