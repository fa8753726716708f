// The ambient properties of the control host and their identifiers.
#include "webview/ambient_table.h"

const AmbientMember kAmbientMembers[] = {
    {"WindowlessActivationAllowed", kDispIdWindowlessActivationAllowed, AmbientKind::kFlag,
     kAmbientWindowless, true},
    {"BackColor", kDispIdBackColor, AmbientKind::kColor, 0, true},
    {"ForeColor", kDispIdForeColor, AmbientKind::kColor, 0, true},
    {"LocaleID", kDispIdLocaleId, AmbientKind::kLocale, 0, true},
    {"UserMode", kDispIdUserMode, AmbientKind::kFlag, kAmbientUserMode, true},
    {"DisplayAsDefault", kDispIdDisplayAsDefault, AmbientKind::kFlag, kAmbientDisplayAsDefault,
     true},
    {"Font", kDispIdFont, AmbientKind::kFont, 0, true},
    {"MessageReflect", kDispIdMessageReflect, AmbientKind::kFlag, kAmbientMessageReflect, true},
    {"ShowGrabHandles", kDispIdShowGrabHandles, AmbientKind::kAlwaysFalse, 0, false},
    {"ShowHatching", kDispIdShowHatching, AmbientKind::kAlwaysFalse, 0, false},
    {"HostInfoFlags", kDispIdHostInfoFlags, AmbientKind::kDword, 0, true},
    {"HostInfoDoubleClick", kDispIdHostInfoDoubleClick, AmbientKind::kDword, 0, true},
    {"ContextMenuAllowed", kDispIdContextMenuAllowed, AmbientKind::kFlag, kAmbientContextMenu,
     true},
    {"BrowserUIAllowed", kDispIdBrowserUIAllowed, AmbientKind::kFlag, kAmbientBrowserUI, true},
    {"OptionsKey", kDispIdOptionsKey, AmbientKind::kString, 0, true},
};
const size_t kAmbientMemberCount = sizeof kAmbientMembers / sizeof kAmbientMembers[0];

const AmbientMember* FindAmbientMember(int32_t dispId) {
  for (size_t i = 0; i < kAmbientMemberCount; ++i) {
    if (kAmbientMembers[i].dispId == dispId) {
      return &kAmbientMembers[i];
    }
  }
  return nullptr;
}

int64_t AmbientFontHeight(int32_t logicalHeight, int32_t dpi) {
  if (dpi <= 0) {
    return 0;
  }
  const int64_t height = logicalHeight < 0 ? -int64_t{logicalHeight} : int64_t{logicalHeight};
  return height * 720000 / dpi;
}
