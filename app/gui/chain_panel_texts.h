#pragma once
// The texts of the chain panel: the run box and one chain's column, read
// from the session without stopping its chains.
#include <QString>
#include <QStringList>
#include <cstdint>

#include "sampler/run_session.h"

namespace mixora::gui {

inline constexpr int kChainRowCount = 12;
extern const char* const kChainRowLabels[kChainRowCount];

// The run box, one entry per text, in order. markedCount chooses "%d
// Mixture selected" or "%d Mixtures selected".
QStringList RunBoxTexts(const RunSession& session, int markedCount);

// The cells of chain chainIndex, one per row label but the last (the
// priority row holds the chain's selector).
QStringList ChainColumnTexts(const RunSession& session, int chainIndex);

// The processor time of the whole process, in hundredths of a second.
int64_t ProcessCpuHundredths();

}  // namespace mixora::gui
