// The service's addresses.
#include "net/service_addresses.h"

#include "base/text_format.h"

char AgentName[64];
char ApiUrl[kUrlSize];
char HelpPageUrl[kUrlSize];
char LoginPageUrl[kUrlSize];
char HelpUrl[kUrlSize];

void SetServiceAddresses(const char* serviceBase) {
  FormatInto(AgentName, sizeof AgentName, "Norvalisk");
  FormatInto(ApiUrl, sizeof ApiUrl, "%s/admin/norvalisk/norvix_api.php", serviceBase);
  FormatInto(HelpPageUrl, sizeof HelpPageUrl, "%s/admin/norvalisk/help_page.php", serviceBase);
  FormatInto(LoginPageUrl, sizeof LoginPageUrl, "%s/press_login.php", serviceBase);
  FormatInto(HelpUrl, sizeof HelpUrl, "%s/help.php", serviceBase);
}
