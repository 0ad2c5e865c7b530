#include "formats/format_writers.h"

#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <cstdlib>
#include <numeric>
#include <vector>

#include "core/atomic_file.h"
#include "core/error_flags.h"
#include "core/paths.h"
#include "core/text_file.h"
#include "input/control_keywords.h"

#include "core/string_format.h"

namespace mixora {

namespace {

template <typename... Args>
void Append(std::string& out, const char* format, Args... args) {
  AppendFormat(out, format, args...);
}

// Positions 0..n-1 ordered by ascending ID; equal IDs keep record order, so
// no item is written twice or left out.
std::vector<int> ByAscendingId(const std::vector<int32_t>& ids) {
  std::vector<int> order(ids.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return ids[a] < ids[b]; });
  return order;
}

int CharCount(const RunRecord& run) { return static_cast<int>(run.charId.size()); }

int32_t CountAt(const RunRecord& run, int s, int c, int k) {
  std::size_t at = (static_cast<std::size_t>(s) * CharCount(run) + c) * run.maxAlleles + k;
  return at < run.counts.size() ? run.counts[at] : 0;
}

int32_t GenotypeAt(const RunRecord& run, int f, int c, int j) {
  std::size_t at = (static_cast<std::size_t>(f) * CharCount(run) + c) * 2 + j;
  return at < run.genotypes.size() ? run.genotypes[at] : 0;
}

int AllelesOf(const RunRecord& run, int c) {
  return std::min(run.alleleCount[c], run.maxAlleles);
}

std::string NameAt(const std::vector<std::string>& names, int i) {
  return static_cast<std::size_t>(i) < names.size() ? names[i] : std::string();
}

}  // namespace

int WriteTextTo(const std::string& text, const std::string& path, std::FILE* stream) {
  if (stream) return std::fwrite(text.data(), 1, text.size(), stream) == text.size() ? 1 : 0;
  return WriteWholeFile(path, text);
}

std::string FormatTalmoBaseline(const RunRecord& run) {
  std::string out;
  for (int s : ByAscendingId(run.stockId)) {
    for (int c : ByAscendingId(run.charId)) {
      int64_t total = 0;
      for (int k = 0; k < AllelesOf(run, c); ++k) total += CountAt(run, s, c, k);
      // A blank leads every field, so wide values never run into their
      // neighbours; below 100000 (and 10000 for counts) the columns are the
      // classic fixed ones.
      Append(out, " %5d %5d %5lld", run.stockId[s], run.charId[c], static_cast<long long>(total));
      for (int k = 0; k < AllelesOf(run, c); ++k) Append(out, " %4d", CountAt(run, s, c, k));
      Append(out, "\r\n");
    }
  }
  return out;
}

std::string FormatSpamBaseline(const RunRecord& run) {
  std::string out;
  for (int s : ByAscendingId(run.stockId)) {
    Append(out, "# %03d %s", run.stockId[s], NameAt(run.stockNames, s).c_str());
    for (int c : ByAscendingId(run.charId)) {
      // Padded but never cut: a cut name would no longer match its character.
      Append(out, "\r\n%-9s", NameAt(run.charNames, c).c_str());
      for (int k = 0; k < AllelesOf(run, c); ++k) Append(out, " %d", CountAt(run, s, c, k));
    }
    Append(out, "\r\n\r\n");
  }
  return out;
}

std::string FormatDigitMixture(const RunRecord& run) {
  std::string out;
  const int chars = CharCount(run);
  for (int f = 0; f < run.fishCount; ++f) {
    for (int c = 0; c < chars; ++c) {
      std::string field(static_cast<std::size_t>(std::max(run.alleleCount[c], 0)), '0');
      auto put = [&field](int32_t position, char digit) {
        if (position >= 1 && static_cast<std::size_t>(position) <= field.size())
          field[position - 1] = digit;
      };
      int32_t a = GenotypeAt(run, f, c, 0);
      int32_t b = GenotypeAt(run, f, c, 1);
      if (a != 0 && a == b) {
        put(a, '2');
      } else if (a != 0) {
        put(a, '1');
        if (b != 0) put(b, '1');
      } else if (b != 0) {
        put(b, '1');
      }
      out += field;
      out += ' ';
    }
    Append(out, "     %s\r\n", NameAt(run.fishNames, f).c_str());
  }
  return out;
}

std::string FormatGenepopMixture(const RunRecord& run, bool allPopulations) {
  std::string out;
  const int chars = CharCount(run);
  const int populations = static_cast<int>(run.mixtures.size());
  Append(out, "%s\r\n",
         run.mixtureTitle.empty() ? "geneclass file from Mixora 2.3" : run.mixtureTitle.c_str());
  for (int c = 0; c < chars; ++c) Append(out, "%s\r\n", NameAt(run.charNames, c).c_str());

  // Names are never cut: the slot is widened to the longest name held.
  int width = run.fishNameWidth;
  for (const auto& name : run.fishNames) width = std::max(width, static_cast<int>(name.size()));
  for (const auto& name : run.badNames) width = std::max(width, static_cast<int>(name.size()));
  bool threeDigits = false;
  for (int c = 0; c < chars; ++c) threeDigits = threeDigits || run.alleleCount[c] > 99;

  auto header = [&](int p) {
    const MixtureRecord& m = run.mixtures[p];
    Append(out, "POP %d, %s, %s, %s, %s, %s\r\n", m.year, m.vial.c_str(), m.date.c_str(),
           m.area.c_str(), m.gear.c_str(), TrimLine(m.desc).c_str());
  };
  auto rejected = [&](int p) {
    for (std::size_t e = 0; e < run.badFlags.size(); ++e) {
      uint32_t word = static_cast<uint32_t>(run.badFlags[e]);
      if (static_cast<int>(word & 0xFFFF) != p) continue;
      std::string name = NameAt(run.badNames, static_cast<int>(e));
      Append(out, "%c %-*.*s ,%s\r\n", '\\', width, width, name.c_str(),
             DescribeErrorFlags(word >> 16).c_str());
    }
  };
  auto individual = [&](int f) {
    std::string name = NameAt(run.fishNames, f);
    Append(out, "%-*.*s ,", width, width, name.c_str());
    for (int c = 0; c < chars; ++c)
      Append(out, threeDigits ? " %03d%03d" : " %02d%02d", GenotypeAt(run, f, c, 0),
             GenotypeAt(run, f, c, 1));
    Append(out, "\r\n");
  };

  if (!allPopulations) {
    // The run record of one mixture holds that mixture's fish and rejected
    // fish only, so its rejected fish are those of the current population.
    int current = run.mixtureIndex;
    if (current >= 0 && current < populations)
      header(current);
    else
      Append(out, "POP\r\n");
    for (int f = 0; f < run.fishCount; ++f) individual(f);
    rejected(current);
    return out;
  }

  int next = 0;
  int lastWritten = -1;
  if (populations == 0 && run.fishCount > 0) Append(out, "POP\r\n");
  auto openPopulation = [&](int p) {
    if (lastWritten >= 0) rejected(lastWritten);
    header(p);
    lastWritten = p;
  };
  for (int f = 0; f < run.fishCount; ++f) {
    while (next < populations && static_cast<int64_t>(run.mixtures[next].firstIndividual) <= f)
      openPopulation(next++);
    individual(f);
  }
  // Populations after the last fish still get their header and their
  // rejected fish, so nothing stored is left out.
  while (next < populations) openPopulation(next++);
  rejected(lastWritten >= 0 ? lastWritten : 0);
  return out;
}

std::string FormatSpamControlFile(const RunRecord& run) {
  const RunSettings& st = run.settings;
  std::string out;
  Append(out, "* Estimation : %s\r\n\r\n", GetField(st.Title).c_str());
  Append(out, "* options selected for optimization\r\n");
  struct Option {
    const char* text;
    bool value;
  } const options[] = {
      {"use IRLS algorithm in optimal search", false},
      {"print mixture file", st.PrintMixture != 0},
      {"print baseline relative frequencies", st.PrintBaseline != 0},
      {"print conditional genotype probabilities", true},
      {"print conditional stock probabilities", true},
      {"compute likelihood confidence intervals", false},
      {"compute infitesimal jacknife std. dev.", false},
      {"resample mixture frequencies", true},
      {"resample baseline", true},
      {"use corvane-tallbeck model", true},
      {"use dunso-hiravo model", false},
  };
  for (const Option& option : options)
    Append(out, "  %-41s:  %c\r\n", option.text, option.value ? 'T' : 'F');
  Append(out, "\r\n");
  long long seed1 = std::llabs(static_cast<long long>(st.Seed1));
  Append(out,
         "* control parameters\r\n"
         "  number of stocks in analysis       : %d\r\n"
         "  number of characters in analysis   : %d\r\n"
         "  maximum number of genotypes        : 900\r\n"
         "  maximum number of classes          : 200\r\n"
         "  maximum # of iterations            : %d\r\n"
         "  maximum number of missing loci     :  %d\r\n"
         "  estimate tolerance                 : .10e-05\r\n"
         "  likelihood tolerance               : 1.0e-10\r\n"
         "  genotype tolerance                 :  0\r\n"
         "  algorithm switch tolerance         :  0.01\r\n"
         "  GPA                                :  97\r\n"
         "  number of resamplings              :  100\r\n"
         "  size of simulated mixture sample   :  150\r\n"
         "  random seed (negative)             :  %lld\r\n"
         "  second random seed (positive)      :  %d\r\n\r\n",
         st.NumberOfStocks, st.NumberOfChars, st.NumberOfReps, st.MaxMissingLoci, -seed1,
         st.Seed2);

  Append(out, "* characters used\r\n  [id #]  [# types]  [kind]  [character]\r\n");
  for (int c = 0; c < CharCount(run); ++c)
    Append(out, "%6d %8d  %10s %12s\r\n", run.charId[c], run.alleleCount[c], "locus",
           NameAt(run.charNames, c).c_str());

  const int levels = static_cast<int>(run.groupAt.size());
  Append(out, "\r\n* populations used in analysis\r\n   [id #]  [population]");
  for (int v = 0; v < levels; ++v) Append(out, "   [lev%d]", v + 1);
  Append(out, "\r\n");
  for (std::size_t s = 0; s < run.stockId.size(); ++s) {
    Append(out, "%6d  %-20.20s  : ", run.stockId[s], NameAt(run.stockNames, s).c_str());
    for (int v = 0; v < levels; ++v)
      Append(out, " %4d", s < run.groupAt[v].size() ? run.groupAt[v][s] : 0);
    Append(out, "\r\n");
  }

  Append(out, "\r\n* regions\r\n [level]  [label]  [Region]\r\n");
  for (std::size_t g = 0; g < run.groupId.size(); ++g)
    Append(out, "%5d %6d     %s\r\n", run.groupLevel[g] + 1, run.groupId[g],
           NameAt(run.groupNames, g).c_str());

  Append(out,
         "\r\n* file\r\nbaseline : %s\r\nmixture  : %s\r\noutput   : %s\r\n\r\n* run\r\n",
         FileNameOf(GetField(st.BaselineFile)).c_str(),
         FileNameOf(GetField(st.MixtureFile)).c_str(),
         FileNameOf(GetField(st.OutputFolder)).c_str());
  return out;
}

std::string FormatRunTextControlFile(const RunRecord& run) {
  const RunSettings& st = run.settings;
  const KeywordSpec* rows = TextKeywordTable();
  const std::size_t rowCount = TextKeywordCount();
  std::string out;
  Append(out, "%s\r\n\r\n", "MIXORA");
  Append(out, "Title = %s\r\n\r\n", FormatKeyword(rows[0], &st).c_str());
  for (std::size_t r = 1; r < rowCount; ++r)
    Append(out, "%s = %s\r\n", rows[r].name, FormatKeyword(rows[r], &st).c_str());

  Append(out, "\r\nChars =\r\n");
  for (int c = 0; c < CharCount(run); ++c)
    Append(out, "%03d %03d %c %s\r\n", run.charId[c], run.alleleCount[c],
           run.isLocus[c] > 0 ? 'T' : 'F', NameAt(run.charNames, c).c_str());

  Append(out, "\r\nStocks =\r\n");
  const int levels = static_cast<int>(run.groupAt.size());
  for (std::size_t s = 0; s < run.stockId.size(); ++s) {
    Append(out, "%03d", run.stockId[s]);
    for (int v = 0; v < levels; ++v)
      Append(out, " %02d", s < run.groupAt[v].size() ? run.groupAt[v][s] : 0);
    if (st.PriorWeightsGiven)
      Append(out, " %.6lf", s < run.beta.size() ? run.beta[s] : 0.0);
    Append(out, "  %s\r\n", NameAt(run.stockNames, s).c_str());
  }

  Append(out, "\r\nGroups =\r\n");
  for (std::size_t g = 0; g < run.groupId.size(); ++g)
    Append(out, "%3d %3d  %s\r\n", run.groupLevel[g] + 1, run.groupId[g],
           NameAt(run.groupNames, g).c_str());
  return out;
}

int WriteTalmoBaseline(const RunRecord& run, const std::string& path, std::FILE* stream) {
  return WriteTextTo(FormatTalmoBaseline(run), path, stream);
}

int WriteSpamBaseline(const RunRecord& run, const std::string& path, std::FILE* stream) {
  return WriteTextTo(FormatSpamBaseline(run), path, stream);
}

int WriteDigitMixture(const RunRecord& run, const std::string& path, std::FILE* stream) {
  return WriteTextTo(FormatDigitMixture(run), path, stream);
}

int WriteGenepopMixture(const RunRecord& run, bool allPopulations, const std::string& path,
                        std::FILE* stream) {
  return WriteTextTo(FormatGenepopMixture(run, allPopulations), path, stream);
}

int WriteSpamControlFile(const RunRecord& run, const std::string& path, std::FILE* stream) {
  return WriteTextTo(FormatSpamControlFile(run), path, stream);
}

int WriteRunTextControlFile(const RunRecord& run, const std::string& path, std::FILE* stream) {
  return WriteTextTo(FormatRunTextControlFile(run), path, stream);
}

}  // namespace mixora
