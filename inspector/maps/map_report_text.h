// The words the reports on symbol maps share, whatever their form (text, HTML, Markdown): the
// class names, places, distances, a map's verdict, the values of one change, a run, a rename
// and the classes that tripped the guard.
#pragma once

#include "map_comparison.h"

namespace plcinfo {

// "0030:01A4".
std::string place(const MapRow& row);
// "+0002", "-0010".
std::string signedHex(std::int64_t value);
// How the bytes a segment's variables take are counted, under every figure of them.
extern const char TakenNote[];
// "symbol map sound", "3 findings".
std::string soundness(const SymbolMap& map);
// The values of one change: "old -> new" or the one side there is.
std::string changeText(const MapComparison& comparison, const Change& change);
// "V0000020 ... V0001996: 495 variables of 0030 by +0002".
std::string runText(const MapComparison& comparison, const MoveRun& run);
// "V0000020 -> SPEED_SET  0160:0001 WORD".
std::string renameText(const MapComparison& comparison, const Rename& rename);
// What stopped the build script, after "Stopped by ": the keys of the classes that tripped
// --fail-on, each between `quote`s, and the segments over --max-fill: "--fail-on:
// variable-moved, bit-moved; --max-fill: 00A0 DATA_USR 60.1% > 50.0%".
std::string stopReasons(const MapComparison& comparison, const char* quote);
// What a guard that passes found, after "The guard passes: ": "no class that --fail-on names
// changed", "no segment over --max-fill" or both.
std::string passReasons(const MapComparison& comparison);
// "FFFA left", "0010 beyond": the room of the 64 KiB above a segment's highest end.
std::string roomText(std::uint64_t end);
// How a segment's end and fill changed: "+0002 (0.0%)", "-0100 (-0.4%)".
std::string fillChange(const FillChange& fill);
// A segment's fill in every report: "34.2%", with its budget when one applies: "34.2% of 50.0%".
std::string fillWithBudget(const SegmentFill& fill);

} // namespace plcinfo
