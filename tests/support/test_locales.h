#pragma once
// The user locales that break careless text handling: German (a decimal
// comma, "Dez" for December) and Turkish (tolower('I') is not 'i'). They are
// compiled with localedef into a folder of their own (no root needed) and
// reached through LOCPATH, so the tests need no locale installed on the
// machine, only the sources of Debian's "locales" package.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/temp_folder.h"

namespace mixora::testing_support {

// The folder that holds de_DE.UTF-8 and tr_TR.UTF-8 (made on first use,
// shared by later tests), or "" when localedef could not make them.
inline std::string TestLocaleFolder() {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("mixora_locales_" + std::to_string(::getuid()));
  std::error_code ec;
  if (std::filesystem::exists(folder / "tr_TR.UTF-8" / "LC_CTYPE", ec)) return folder.string();
  // Made aside and renamed into place, so that tests running side by side
  // never see a half-made folder.
  const std::filesystem::path work = NewTempFolder("locales");
  for (const char* name : {"de_DE", "tr_TR"}) {
    const std::string command = std::string("localedef -i ") + name + " -f UTF-8 '" +
                                (work / (std::string(name) + ".UTF-8")).string() +
                                "' >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) {
      std::filesystem::remove_all(work, ec);
      return "";
    }
  }
  std::filesystem::rename(work, folder, ec);
  if (ec) std::filesystem::remove_all(work, ec);  // another test was first
  return std::filesystem::exists(folder / "tr_TR.UTF-8" / "LC_CTYPE", ec) ? folder.string() : "";
}

}  // namespace mixora::testing_support
