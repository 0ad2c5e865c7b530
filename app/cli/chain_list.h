#pragma once
// Chain lists as typed after --chains: "1,3,5-7", counted from 1.
#include <string>
#include <vector>

namespace mixora::cli {

// Appends the chains of text as 0-based indexes. Returns false and sets why
// on a malformed list.
bool ParseChainList(const std::string& text, std::vector<int>& chains, std::string& why);

}  // namespace mixora::cli
