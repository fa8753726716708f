// The ambient properties a control host offers its control: the flag bits and
// defaults, the member identifiers its dispatch interface answers to, and the
// height of the default ambient font.
#pragma once

#include <cstddef>
#include <cstdint>

// Bits of the host's ambient flags word.
enum AmbientFlag : uint32_t {
  kAmbientWindowless = 1u << 0,      // WindowlessActivationAllowed
  kAmbientUserMode = 1u << 1,        // UserMode
  kAmbientDisplayAsDefault = 1u << 2,
  kAmbientMessageReflect = 1u << 3,
  kAmbientSubclassed = 1u << 4,      // the host subclassed its window
  kAmbientContextMenu = 1u << 5,     // ContextMenuAllowed
  kAmbientBrowserUI = 1u << 6,       // BrowserUIAllowed
};

// Flags of a new host: windowless activation, user mode, message reflection
// and the browser's context menu allowed; the browser's own UI not.
inline constexpr uint32_t kAmbientDefaultFlags =
    kAmbientWindowless | kAmbientUserMode | kAmbientMessageReflect | kAmbientContextMenu;
// Document host flags of a new host: no 3-D border.
inline constexpr uint32_t kDefaultHostInfoFlags = 4;
// Added for HTML or URL content in a window without scroll-bar styles.
inline constexpr uint32_t kHostInfoNoScrollBars = 8;
inline constexpr uint32_t kDefaultHostInfoDoubleClick = 0;
inline constexpr uint32_t kDefaultLocaleId = 0x400;

// Member identifiers of the standard ambient properties.
inline constexpr int32_t kDispIdBackColor = -701;
inline constexpr int32_t kDispIdFont = -703;
inline constexpr int32_t kDispIdForeColor = -704;
inline constexpr int32_t kDispIdLocaleId = -705;
inline constexpr int32_t kDispIdMessageReflect = -706;
inline constexpr int32_t kDispIdUserMode = -709;
inline constexpr int32_t kDispIdShowGrabHandles = -711;
inline constexpr int32_t kDispIdShowHatching = -712;
inline constexpr int32_t kDispIdDisplayAsDefault = -713;
// The property-change notice for a property without a standard identifier.
inline constexpr int32_t kDispIdUnknown = -1;
// Identifiers of the host's own properties, numbered as an automation
// interface numbers members without explicit identifiers: 0x6002nnnn with nnnn
// the index of the member's first accessor in the interface.
inline constexpr int32_t kDispIdWindowlessActivationAllowed = 0x60020000;
inline constexpr int32_t kDispIdHostInfoFlags = 0x60020012;
inline constexpr int32_t kDispIdHostInfoDoubleClick = 0x60020014;
inline constexpr int32_t kDispIdContextMenuAllowed = 0x60020016;
inline constexpr int32_t kDispIdBrowserUIAllowed = 0x60020018;
inline constexpr int32_t kDispIdOptionsKey = 0x6002001A;

// How an ambient property is stored and what its value looks like.
enum class AmbientKind { kFlag, kColor, kLocale, kFont, kDword, kString, kAlwaysFalse };

// One property of the ambient dispatch interface.
struct AmbientMember {
  const char* name;
  int32_t dispId;
  AmbientKind kind;
  uint32_t flag;   // the flag bit of a kFlag property
  bool canPut;     // false for the read-only properties
};

// Every ambient property, in the order of the dispatch interface.
extern const AmbientMember kAmbientMembers[];
extern const size_t kAmbientMemberCount;

// The member called `name` (exact, case-sensitive match), or null.
template <typename Char>
const AmbientMember* FindAmbientMember(const Char* name) {
  if (name == nullptr) {
    return nullptr;
  }
  for (size_t i = 0; i < kAmbientMemberCount; ++i) {
    const char* want = kAmbientMembers[i].name;
    size_t k = 0;
    while (want[k] != 0 && static_cast<char32_t>(name[k]) == static_cast<char32_t>(want[k])) {
      ++k;
    }
    if (want[k] == 0 && name[k] == 0) {
      return &kAmbientMembers[i];
    }
  }
  return nullptr;
}

// The member with identifier `dispId`, or null.
const AmbientMember* FindAmbientMember(int32_t dispId);

// Height of the default ambient font in 1/10000 point: the absolute logical
// height in pixels × 720000 ÷ the vertical dots per inch.
int64_t AmbientFontHeight(int32_t logicalHeight, int32_t dpi);
