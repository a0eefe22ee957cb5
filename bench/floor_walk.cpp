#include "bench/floor_walk.h"

#include <iterator>
#include <vector>

namespace morvane::bench {

namespace {

class Walker {
 public:
  explicit Walker(REGSAM view) : view_(view), name_(16384 + 1), data_(64 * 1024) {}

  void Walk(HKEY key) {
    for (DWORD i = 0;; ++i) {
      DWORD nameLength = static_cast<DWORD>(name_.size());
      DWORD dataLength = static_cast<DWORD>(data_.size());
      DWORD type = 0;
      const LONG rc = RegEnumValueW(key, i, name_.data(), &nameLength, nullptr, &type,
                                    reinterpret_cast<BYTE*>(data_.data()), &dataLength);
      if (rc == ERROR_MORE_DATA) {
        data_.resize(data_.size() * 2);
        --i;
        continue;
      }
      if (rc != ERROR_SUCCESS) break;
      ++counts_.values;
      counts_.dataBytes += dataLength;
    }
    wchar_t subkey[256 + 1];
    for (DWORD i = 0;; ++i) {
      DWORD length = static_cast<DWORD>(std::size(subkey));
      if (RegEnumKeyExW(key, i, subkey, &length, nullptr, nullptr, nullptr, nullptr) !=
          ERROR_SUCCESS)
        break;
      HKEY child = nullptr;
      if (RegOpenKeyExW(key, subkey, 0, KEY_READ | view_, &child) != ERROR_SUCCESS) continue;
      ++counts_.keys;
      Walk(child);
      RegCloseKey(child);
    }
  }

  WalkCounts counts_;

 private:
  REGSAM view_;
  std::vector<wchar_t> name_;
  std::vector<char> data_;
};

}  // namespace

WalkCounts FloorWalk(HKEY key, REGSAM view) {
  Walker walker(view);
  walker.Walk(key);
  return walker.counts_;
}

}  // namespace morvane::bench
