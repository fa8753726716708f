// Process-wide values of the program.
#include "app/program_values.h"

#include <cstring>

#include "base/text_format.h"
#include "net/account.h"
#include "net/service_addresses.h"

char ExePath[kPathSize];
char ExeBase[kPathSize];
char ProgramFolder[kPathSize];
char SettingsPath[kPathSize];
CardJob Job;

void InitProgramValues(const char* exePath, const char* serviceBase) {
  // A path that is not known or does not fit leaves every program path empty.
  ProgramPathSet paths = {};
  if (!FormatInto(ExePath, sizeof ExePath, "%s", exePath) || !DeriveProgramPaths(exePath, &paths)) {
    ExePath[0] = '\0';
  }
  std::memcpy(ExeBase, paths.exeBase, sizeof ExeBase);
  std::memcpy(ProgramFolder, paths.programFolder, sizeof ProgramFolder);
  std::memcpy(SettingsPath, paths.settingsPath, sizeof SettingsPath);
  SetServiceAddresses(serviceBase);
  UserId[0] = '\0';
  UserPassword[0] = '\0';
  RememberLogin = 0;
  LoggedIn = 0;
}
