// Process-wide values of the program.
#include "app/program_state.h"

#include <cstdio>
#include <cstring>

#include "net/account.h"

char ExePath[kPathSize];
char ExeBase[kPathSize];
char ProgramFolder[kPathSize];
char SettingsPath[kPathSize];
char AgentName[64];
char ApiUrl[kUrlSize];
char HelpPageUrl[kUrlSize];
char LoginPageUrl[kUrlSize];
char HelpUrl[kUrlSize];
int LoggedIn;
CardJob Job;

namespace {

// Formats into a fixed buffer; an overlong result leaves the buffer empty.
template <typename... Args>
bool FormatInto(char* out, std::size_t size, const char* format, Args... args) {
  const int written = std::snprintf(out, size, format, args...);
  if (written < 0 || static_cast<std::size_t>(written) >= size) {
    out[0] = '\0';
    return false;
  }
  return true;
}

}  // namespace

void InitCardJob(CardJob* job, const char* programFolder) {
  std::memset(job, 0, sizeof *job);
  // Without a known folder there is no page prefix: "\page_" would name files
  // at the root of the current drive.
  if (programFolder != nullptr && programFolder[0] != '\0') {
    FormatInto(job->pagePrefix, sizeof job->pagePrefix, "%s\\page_", programFolder);
  }
  job->cardWidthMm = 91.0f;
  job->cardHeightMm = 55.0f;
  job->bleedMm = 2.0f;
  job->pixelsPerMm = kPixelsPerMm;
  for (CardSide& side : job->sides) {
    side.pageIndex = -1;
  }
}

void InitProgramValues(const char* exePath, const char* serviceBase) {
  // A path that is not known or does not fit leaves every program path empty.
  ProgramPathSet paths = {};
  if (!FormatInto(ExePath, sizeof ExePath, "%s", exePath) || !DeriveProgramPaths(exePath, &paths)) {
    ExePath[0] = '\0';
  }
  std::memcpy(ExeBase, paths.exeBase, sizeof ExeBase);
  std::memcpy(ProgramFolder, paths.programFolder, sizeof ProgramFolder);
  std::memcpy(SettingsPath, paths.settingsPath, sizeof SettingsPath);
  FormatInto(AgentName, sizeof AgentName, "Norvalisk");
  FormatInto(ApiUrl, sizeof ApiUrl, "%s/admin/norvalisk/norvix_api.php", serviceBase);
  FormatInto(HelpPageUrl, sizeof HelpPageUrl, "%s/admin/norvalisk/help_page.php", serviceBase);
  FormatInto(LoginPageUrl, sizeof LoginPageUrl, "%s/press_login.php", serviceBase);
  FormatInto(HelpUrl, sizeof HelpUrl, "%s/help.php", serviceBase);
  UserId[0] = '\0';
  UserPassword[0] = '\0';
  RememberLogin = 0;
  LoggedIn = 0;
}

bool PageFilePath(const char* prefix, int n, char* out) {
  return prefix[0] != '\0' && FormatInto(out, kPathSize, "%s%d.bmp", prefix, n);
}

void DeletePageFiles(const char* prefix) {
  char path[kPathSize];
  for (int n = 1; n <= 5; ++n) {
    if (PageFilePath(prefix, n, path)) {
      std::remove(path);
    }
  }
}
