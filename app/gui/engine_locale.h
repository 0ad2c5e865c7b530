#pragma once
// QApplication switches the process to the user's locale, and the engine's
// printf-style writers would follow it: a decimal comma in every report and
// table, and control files refused ("Accuracy not 0,001 - 0,999"). The
// engine's numbers stay in the C locale; the windows format what they show
// themselves, through Qt, in the user's.
#include <clocale>

namespace mixora::gui {

// Call right after the QApplication is made.
inline void KeepEngineNumbersInTheCLocale() { std::setlocale(LC_NUMERIC, "C"); }

}  // namespace mixora::gui
