#include "chain_list.h"

#include <cstdio>
#include <sstream>

namespace mixora::cli {

bool ParseChainList(const std::string& text, std::vector<int>& chains, std::string& why) {
  std::stringstream parts(text);
  std::string part;
  while (std::getline(parts, part, ',')) {
    int first = 0, last = 0;
    char extra = 0;
    if (std::sscanf(part.c_str(), "%d-%d%c", &first, &last, &extra) == 2) {
    } else if (std::sscanf(part.c_str(), "%d%c", &first, &extra) == 1) {
      last = first;
    } else {
      why = "--chains: \"" + part + "\" is not a chain number or a range like 2-4";
      return false;
    }
    if (first < 1 || last < first) {
      why = "--chains: \"" + part + "\" is not a range of chain numbers from 1";
      return false;
    }
    for (int c = first; c <= last; ++c) chains.push_back(c - 1);
  }
  if (chains.empty()) {
    why = "--chains: no chain given";
    return false;
  }
  return true;
}

}  // namespace mixora::cli
