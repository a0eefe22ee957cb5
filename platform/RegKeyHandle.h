// An open key of a RegistryApi, owned: closed once, when its owner goes. And the read-only
// open that the registry cursor and the scan walk share.
#pragma once

#include <string>
#include <utility>

#include "platform/RegistryApi.h"

namespace morvane {

class ScopedRegKey {
 public:
  ScopedRegKey() = default;
  ScopedRegKey(RegistryApi& api, RegKey key) : api_(&api), key_(key) {}
  ~ScopedRegKey() { reset(); }
  ScopedRegKey(ScopedRegKey&& other) noexcept
      : api_(other.api_), key_(std::exchange(other.key_, RegKey{0})) {}
  ScopedRegKey& operator=(ScopedRegKey&& other) noexcept {
    if (this != &other) {
      reset();
      api_ = other.api_;
      key_ = std::exchange(other.key_, RegKey{0});
    }
    return *this;
  }
  ScopedRegKey(const ScopedRegKey&) = delete;
  ScopedRegKey& operator=(const ScopedRegKey&) = delete;

  RegKey get() const { return key_; }
  bool valid() const { return key_ != 0; }
  // Gives up ownership without closing.
  RegKey release() { return std::exchange(key_, RegKey{0}); }
  void reset() {
    if (key_ != 0) api_->CloseKey(std::exchange(key_, RegKey{0}));
  }

 private:
  RegistryApi* api_ = nullptr;
  RegKey key_ = 0;
};

// Opens subPath below base for reading with the first mask that the registry grants, of
// KEY_READ, then STANDARD_RIGHTS_READ|KEY_QUERY_VALUE|KEY_ENUMERATE_SUB_KEYS, then KEY_QUERY_VALUE.
// Empty when none opens; the system's error code of the last try then goes to *error when that
// is given. The granted mask goes to *granted when that is given. With
// Links::OpenItself a registry link is opened as the link key, not followed. view is added to
// every mask tried (the access bits of a registry view, ViewAccess).
enum class Links { Follow, OpenItself };
inline ScopedRegKey OpenForReading(RegistryApi& api, RegKey base, const std::string& subPath,
                                   std::uint32_t* granted = nullptr, Links links = Links::Follow,
                                   std::uint32_t view = 0, long* error = nullptr) {
  static constexpr std::uint32_t kTries[] = {
      kKeyRead, kStandardRightsRead | kKeyQueryValue | kKeyEnumerateSubKeys, kKeyQueryValue};
  long rc = kRegOk;
  for (std::uint32_t access : kTries) {
    RegKey key = 0;
    rc = links == Links::Follow ? api.OpenKey(base, subPath, access | view, key)
                                : api.OpenKeyNoFollow(base, subPath, access | view, key);
    if (rc == kRegOk) {
      if (granted != nullptr) *granted = access;
      return ScopedRegKey(api, key);
    }
  }
  if (error != nullptr) *error = rc;
  return ScopedRegKey();
}

}  // namespace morvane
