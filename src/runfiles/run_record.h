#pragma once
// The run record: the analysis view of a run control file. ReadNewControl
// fills it with every mixture and group; ReadRunControl fills it for one
// mixture p, with the groups arranged by level. Nothing in it changes while
// chains run, so chain threads read it without locks.
#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "input/control.h"

namespace mixora {

inline constexpr int kMixtureRecordSize = 362;

// One "POP" line of the mixture file (stored as a 362-byte record).
struct MixtureRecord {
  uint32_t firstIndividual = 0;  // among the stored individuals
  uint32_t number = 0;           // counted from 0 in file order
  int32_t year = 0;
  std::string vial;  // 100 bytes stored
  std::string desc;  // 50
  std::string date;  // 50
  std::string area;  // 50
  std::string gear;  // 100
};

struct RunRecord {
  RunSettings settings{};  // from FileKinds on, as stored

  // Characters (only those taking part), C = settings.NumberOfChars.
  int32_t maxAlleles = 0;  // A
  int32_t charNameWidth = 0;
  std::vector<int32_t> alleleCount;  // [C]
  std::vector<int32_t> charId;       // [C]
  std::vector<int32_t> isLocus;      // [C]
  std::vector<std::string> charNames;

  // Stocks, S = settings.NumberOfStocks.
  int32_t stockNameWidth = 0;
  std::vector<int32_t> stockId;  // [S]
  std::vector<std::string> stockNames;
  // [level][stock]: group identifier as stored; after ReadRunControl the
  // 0-based position of that group within its level.
  std::vector<std::vector<int32_t>> groupAt;

  // Groups as stored (ReadNewControl keeps them in file order).
  int32_t groupCount = 0;  // G
  int32_t groupNameWidth = 0;
  std::vector<int32_t> groupLevel;  // [G], 0-based
  std::vector<int32_t> groupId;     // [G]
  std::vector<std::string> groupNames;
  // Groups by level (ReadRunControl): count, identifiers and names per level.
  std::vector<int32_t> levelGroupCount;               // [V]
  std::vector<std::vector<int32_t>> levelGroupId;     // [V][n]
  std::vector<std::vector<std::string>> levelGroupNames;

  // Baseline and priors.
  std::vector<int32_t> counts;      // [(s * C + c) * A + k]
  std::vector<double> allelePrior;  // [c * A + k]
  std::vector<double> lambda;       // [C]
  std::vector<double> beta;         // [S]

  // Mixture.
  std::string mixtureTitle;  // item 25, at most 99 characters
  int32_t mixtureCount = 0;  // P
  std::vector<MixtureRecord> mixtures;
  int32_t fishCount = 0;  // F (ReadRunControl: fish of mixture p only)
  int32_t fishNameWidth = 0;
  std::vector<int32_t> genotypes;  // [(f * C + c) * 2 + j]
  std::vector<std::string> fishNames;
  int32_t badCount = 0;            // E
  std::vector<int32_t> badFlags;   // low 16 bits mixture number, high 16 bits problem flags
  std::vector<std::string> badNames;

  // Analysis of one mixture.
  int32_t mixtureIndex = 0;     // p
  std::string controlPath;      // the run control file: its folder holds all run outputs
  std::string runTitle;         // first 8 characters of mixtureTitle + "_POP_%02d"
  bool overwriteAll = false;    // "Yes to All" given for run outputs until the run closes
  // What mixture p's chains are computed from, and the tag of the run control
  // file that owns them (run_fingerprint.h); set by ReadRunControl.
  uint64_t inputsFingerprint = 0;
  uint64_t ownerTag = 0;
  std::FILE* summary = nullptr; // the open summary file, owned by the run opening code
};

}  // namespace mixora
