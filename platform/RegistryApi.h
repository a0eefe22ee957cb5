// The thin seam between the registry cursor and the registry itself.
// Everything above this interface is plain C++; the advapi32 implementation lives in
// WinRegistryApi.cpp; an in-memory one with fault injection, for tests, is
// testing/MemRegistryApi.h.
//
// Names, paths and text data cross the seam as UTF-8. The registry holds them as UTF-16 and is
// reached through its wide calls only, so every name read names the same key or value when it is
// handed back, whatever the system's code page: no name is spelled as a look-alike or with '?'.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace morvane {

// Key handles are opaque numbers. The three predefined roots carry their Windows handle values.
using RegKey = std::uintptr_t;

enum class RootKey : std::uint32_t {
  ClassesRoot = 0x80000000u,
  CurrentUser = 0x80000001u,
  LocalMachine = 0x80000002u,
};

inline RegKey RootHandle(RootKey root) { return static_cast<RegKey>(root); }

// Windows error codes the rest of the program looks at.
enum : long {
  kRegOk = 0,
  kRegNotFound = 2,
  kRegAccessDenied = 5,
  kRegInvalidHandle = 6,
  kRegInvalidParameter = 87,
  kRegMoreData = 234,
  kRegNoMoreItems = 259,
};

// Value types.
enum : std::uint32_t {
  kRegNone = 0,
  kRegSz = 1,
  kRegExpandSz = 2,
  kRegBinary = 3,
  kRegDword = 4,
  kRegMultiSz = 7,
  kRegQword = 11,
};

// The types whose data the registry holds as UTF-16 text, and the seam as UTF-8.
inline bool IsTextType(std::uint32_t type) {
  return type == kRegSz || type == kRegExpandSz || type == kRegMultiSz;
}

// The registry's limits, counted as it counts them: in UTF-16 units, so that a character beyond
// the Basic Multilingual Plane (an emoji) counts two. A key name holds at most 255 units, a value
// name 16,383, and keys go 512 levels deep. A path handed to one call holds at most 32,766 units
// (the system's counted strings): a longer one is cut short on the way and names some other key,
// so it has to be walked a key at a time.
inline constexpr std::size_t kMaxKeyNameUnits = 255;
inline constexpr std::size_t kMaxValueNameUnits = 16383;
inline constexpr int kMaxKeyDepth = 512;
inline constexpr std::size_t kMaxPathUnitsPerCall = 32766;

// Access masks, with the Windows values.
enum : std::uint32_t {
  kKeyQueryValue = 0x0001,
  kKeySetValue = 0x0002,
  kKeyCreateSubKey = 0x0004,
  kKeyEnumerateSubKeys = 0x0008,
  kStandardRightsRead = 0x00020000,
  kKeyRead = 0x00020019,
  kKeyAllAccess = 0x000F003F,
  kKeyDelete = 0x00010000,       // DELETE
  kMaximumAllowed = 0x02000000,  // whatever access the key's security grants
  // The two views of the registry on 64-bit Windows, chosen per open: the native (64-bit)
  // view and the 32-bit view. Ignored on 32-bit Windows.
  kKeyWow64View64 = 0x0100,
  kKeyWow64View32 = 0x0200,
};

// The registry views of 64-bit Windows. There a 32-bit program such as this one is shown the
// 32-bit view of HKEY_LOCAL_MACHINE\SOFTWARE (the native key SOFTWARE\Wow6432Node, under the
// name SOFTWARE) and of a few keys below HKEY_CURRENT_USER\Software\Classes, unless it asks
// for a view. On 32-bit Windows there is one view, whatever is asked.
enum class RegView : std::uint32_t {
  Own = 0,  // the process's own
  Native =
      kKeyWow64View64,  // the 64-bit view: every key once, SOFTWARE\Wow6432Node as a key of its own
  Wow32 = kKeyWow64View32,
};

// The access bits that open a key in the view.
inline std::uint32_t ViewAccess(RegView view) { return static_cast<std::uint32_t>(view); }

// Name lengths in UTF-16 units, the data's length in bytes as the registry holds it (UTF-16 for
// text).
struct RegKeyInfo {
  std::uint32_t subkeys = 0;
  std::uint32_t maxSubkeyLen = 0;
  std::uint32_t values = 0;
  std::uint32_t maxValueNameLen = 0;
  std::uint32_t maxValueLen = 0;
  std::uint64_t lastWriteTime = 0;  // FILETIME as one number
};

// One value. The name is UTF-8. The data of other types than text is the registry's bytes. The
// data of a text type (IsTextType) is the UTF-8 of every UTF-16 unit the registry holds, no
// terminator added or removed: a NUL unit is a '\0' byte where it stands, so "C:\\a.exe\0" is
// text stored with its terminator, "C:\\a.exe" the same text stored without one. Written
// through SetValue, such data becomes exactly those units again: text data read and written back
// is byte for byte what the registry held. (A text value stored with an odd number of bytes,
// which no wide writer makes, reads without its last byte, as a part of no unit.) A unit that
// pairs with none (a lone surrogate) is kept as UTF-8 would spell its number, and comes back as
// itself.
struct RegValue {
  std::string name;
  std::uint32_t type = kRegNone;
  std::string data;
};

// An implementation keeps nothing between calls that two threads could trip over: the window
// and its scan worker use the same one at the same time. A name or path handed in that holds a
// NUL (a value can be given such a name, to hide it) is refused with kRegInvalidParameter: the
// registry's calls would take the part before the NUL, which names some other key or value.
class RegistryApi {
 public:
  virtual ~RegistryApi() = default;

  // subPath may hold several components separated by backslashes; empty opens base again.
  virtual long OpenKey(RegKey base, const std::string& subPath, std::uint32_t access,
                       RegKey& out) = 0;
  // As OpenKey, except that when subPath names a registry link, the link key itself is opened
  // rather than the key it points to. A link key has no subkeys, so a walk through keys opened
  // this way never follows a link and a loop of links cannot make it endless.
  virtual long OpenKeyNoFollow(RegKey base, const std::string& subPath, std::uint32_t access,
                               RegKey& out) {
    return OpenKey(base, subPath, access, out);
  }
  // Opens subPath below base, creating every key of it that is missing. When created is given,
  // it says whether the last key of the path was made by this call (false: it was there).
  virtual long CreateKey(RegKey base, const std::string& subPath, std::uint32_t access, RegKey& out,
                         bool* created = nullptr) = 0;
  virtual void CloseKey(RegKey key) = 0;
  virtual long QueryInfo(RegKey key, RegKeyInfo& info) = 0;
  // Name of the subkey at index; kRegNoMoreItems past the end.
  virtual long EnumKey(RegKey key, std::uint32_t index, std::string& name) = 0;
  // Name (and, when wantData, type and data) of the value at index.
  virtual long EnumValue(RegKey key, std::uint32_t index, RegValue& value, bool wantData) = 0;
  // Type and (when wantData) data of a named value; the empty name is the default value.
  virtual long QueryValue(RegKey key, const std::string& name, std::uint32_t& type,
                          std::string* data) = 0;
  // data as RegValue holds it: of a text type, UTF-8 whose every byte and NUL is written as
  // UTF-16 units, nothing added (a terminator is written only when data ends in '\0').
  virtual long SetValue(RegKey key, const std::string& name, std::uint32_t type,
                        const std::string& data) = 0;
  // Deletes subPath below base; it must have no subkeys.
  virtual long DeleteKey(RegKey base, const std::string& subPath) = 0;
  // Deletes the key that key is open on (opened with DELETE access; it must have no subkeys).
  // A link key opened as itself is deleted as the link: nothing it points to is touched.
  virtual long DeleteOpenedKey(RegKey key) = 0;
  // True when the registry has two views (64-bit Windows): opens then choose one with
  // kKeyWow64View64 or kKeyWow64View32.
  virtual bool HasTwoViews() { return false; }
  virtual long DeleteValue(RegKey key, const std::string& name) = 0;
};

// The view that shows the whole registry, each key once, as the system's registry editor shows
// it: the native one where there are two. The scan reads in it and the repair acts in it.
inline RegView WholeView(RegistryApi& api) {
  return api.HasTwoViews() ? RegView::Native : RegView::Own;
}

// The registry of the machine the program runs on (advapi32). Only on Windows builds.
RegistryApi& SystemRegistry();

}  // namespace morvane
