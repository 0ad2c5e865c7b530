#pragma once
// Identifiers of the main window's commands. Menus, toolbar buttons and the
// chain panel's controls carry them, so one handler serves every way in.

namespace mixora::gui {

enum CommandId : int {
  kCmdOpen = 1006,
  kCmdClose = 1008,
  kCmdExit = 1003,
  kCmdCompositionsByPopulation = 40005,
  kCmdCompositionsByRegion = 40006,
  kCmdAssignments = 40007,
  kCmdAllReports = 40022,
  kCmdAbortReports = 40024,
  kCmdRafteryLewisByPopulation = 40008,
  kCmdRafteryLewisByRegion = 40009,
  kCmdGelmanRubinByPopulation = 40010,
  kCmdGelmanRubinByRegion = 40011,
  kCmdPriorityHigh = 40026,
  kCmdPriorityAboveNormal = 40027,
  kCmdPriorityNormal = 40028,
  kCmdPriorityBelowNormal = 40029,
  kCmdPriorityLow = 40030,
  kCmdCheckDataFiles = 40015,
  kCmdConvertToAscii = 40012,
  kCmdGenepopToSpam = 40047,
  kCmdTcfToRcf = 1011,
  kCmdRcfToTcf = 1012,
  kCmdSpamToTcf = 40033,
  kCmdCleanup = 40039,
  kCmdQuietMode = 40045,
  kCmdSimulations = 40034,
  kCmdViewControlFile = 40036,
  kCmdViewBaselineFile = 40037,
  kCmdViewMixtureFile = 40038,
  kCmdHelp = 1009,
  kCmdAbout = 1010,
  kCmdCite = 40035,
  kCmdMarkAll = 1035,
  kCmdUnmarkAll = 1036,
  kCmdToggleAllMarks = 1037,
  kCmdNumberOfReps = 1013,
  kCmdRerun = 1014,
  // Chain panel: 3000 + 4k + op, k = 0 for "All" and 1..10 for the visible
  // chains, op 0 Start, 1 Stop, 2 Pause, 3 Resume; 3100 + k the priority
  // selector of row k.
  kCmdChainFirst = 3000,
  kCmdChainLast = 3043,
  kCmdChainPriority = 3100,
};

enum ChainOp : int { kOpStart = 0, kOpStop = 1, kOpPause = 2, kOpResume = 3 };

inline int ChainCommand(int row, int op) { return kCmdChainFirst + 4 * row + op; }

// The program's name, in titles and message boxes.
inline constexpr const char* kProgramName = "Mixora";
inline constexpr const char* kProgramVersion = "v5.01";

}  // namespace mixora::gui
