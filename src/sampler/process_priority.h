#pragma once
// The five process priority classes of the Priority menu, as nice values of
// every thread of the process. A process without privileges may only lower
// its priority, so a class above the current one is usually refused.
#include "sampler/run_session.h"

namespace mixora {

enum ProcessPriorityClass : int {
  kPriorityHigh = 0,
  kPriorityAboveNormal = 1,
  kPriorityNormal = 2,
  kPriorityBelowNormal = 3,
  kPriorityIdle = 4,
};
inline constexpr int kProcessPriorityClassCount = 5;

// -10, -5, 0, 5 and 19.
int NiceOfPriorityClass(int priorityClass);
// The class a nice value falls in (the nearest class at or above it).
int PriorityClassOfNice(int nice);
// The class of the calling thread's nice value.
int CurrentPriorityClass();

// Gives every thread of the process the class's nice value, and every live
// chain of the session (may be none) its own priority on top of it. Returns
// 1, or 0 with errno set when the system refuses; nothing is changed then.
int SetProcessPriorityClass(RunSession* session, int priorityClass);

}  // namespace mixora
