// The words the reports on symbol maps share, whatever their form (text, HTML, Markdown): the
// class names, places, distances, a map's verdict, the values of one change, a run, a rename
// and the classes that tripped the guard.
#pragma once

#include "map_history.h"

namespace plcinfo {

// "0030:01A4".
std::string place(const MapRow& row);
// "+0002", "-0010".
std::string signedHex(std::int64_t value);
// How the bytes a segment's variables take are counted, under every figure of them.
extern const char TakenNote[];
// "symbol map sound", "3 findings".
std::string soundness(const SymbolMap& map);
std::string soundness(std::size_t findingCount);
// "variable added 1, bit moved 2": the non-zero counts by class, "" when every count is 0.
std::string classCounts(const std::size_t (&counts)[ChangeClassCount]);
// "symbol maps of 3 builds", "symbol map of 1 build": what a history report heads.
std::string historyTitle(const MapHistory& history);
// A build of a history against the build before: "variable added 1; layout changed: 0030
// DATA_COM", "no change", or "first build".
std::string historyChangeText(const BuildRecord& build);
// "0030 DATA_COM": a segment as a history's columns and charts head it.
std::string segmentLabel(std::uint16_t selector);
// "20 symbol maps sound" or "2 of 20 symbol maps with findings".
std::string historySoundness(const MapHistory& history);
// The verdict of --max-fill on the newest build: "Stopped by --max-fill in the newest build:
// 0030 DATA_COM 61.0% > 50.0%", "newest build within --max-fill", or "" without a budget.
std::string historyBudgetText(const MapHistory& history);
// The budgets of --max-fill as they apply to the history's segments: "0030 DATA_COM 50.0%, ...".
std::string historyBudgets(const MapHistory& history);
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
