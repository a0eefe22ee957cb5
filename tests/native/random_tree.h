// Random registry trees for comparing the scan with the reference scan: keys of mixed-case
// names a few levels deep, values of every kind a registry holds (texts with and without their
// terminator or with bytes after it, expandable texts, lists, numbers, bytes), names with '?',
// default values. Written through the seam, into the in-memory registry or the real one.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/RegistryApi.h"

namespace morvane {

class RandomTree {
 public:
  // texts: the strings that text values are drawn from.
  RandomTree(std::uint32_t seed, std::vector<std::string> texts)
      : state_(seed * 2654435761u + 1), texts_(std::move(texts)) {}

  // Creates about `keys` keys up to maxDepth levels below root\path (made too); returns their
  // paths, without a leading backslash.
  std::vector<std::string> Seed(RegistryApi& api, RootKey root, const std::string& path, int keys,
                                int maxDepth) {
    std::vector<std::string> made;
    RegKey base = 0;
    if (api.CreateKey(RootHandle(root), path, kKeyAllAccess, base) != kRegOk) return made;
    budget_ = keys;
    AddValues(api, base);
    for (int round = 0; budget_ > 0 && round < 20; ++round)
      AddChildren(api, base, path, maxDepth, made);
    api.CloseKey(base);
    return made;
  }

  std::uint32_t Next(std::uint32_t bound) {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return state_ % bound;
  }

 private:
  void AddChildren(RegistryApi& api, RegKey key, const std::string& path, int depth,
                   std::vector<std::string>& made) {
    static const char* const kStems[] = {"Key", "key", "KEY", "Vendor", "tool", "Sub", "a", "Z"};
    const int children = depth == 0 ? 0 : static_cast<int>(depth > 1 ? 1 + Next(4) : Next(4));
    for (int c = 0; c < children && budget_ > 0; ++c) {
      const std::string name = std::string(kStems[Next(8)]) + std::to_string(Next(40));
      RegKey child = 0;
      if (api.CreateKey(key, name, kKeyAllAccess, child) != kRegOk) continue;
      --budget_;
      made.push_back(path + "\\" + name);
      AddValues(api, child);
      AddChildren(api, child, path + "\\" + name, depth - 1, made);
      api.CloseKey(child);
    }
  }

  void AddValues(RegistryApi& api, RegKey key) {
    static const char* const kNames[] = {"",     "Path", "path2", "Icon", "Uninstall",
                                         "who?", "N",    "Data",  "x?y"};
    for (int v = 0, count = static_cast<int>(Next(6)); v < count; ++v) {
      const std::string name = kNames[Next(9)] + (Next(3) == 0 ? std::to_string(v) : "");
      const std::string text = texts_[Next(static_cast<std::uint32_t>(texts_.size()))];
      const std::pair<std::uint32_t, std::string> kinds[] = {
          {kRegDword, std::string("\x01\x00\x00\x00", 4)},
          {kRegBinary, text},
          {kRegExpandSz, text + '\0'},
          {kRegMultiSz, text + std::string(2, '\0')},
          {kRegSz, text},  // no terminator
          {kRegSz, text + '\0' + "C:\\after.exe"},
          {kRegSz, text + '\0'}};
      const auto& [type, data] = kinds[std::min<std::uint32_t>(Next(10), 6)];
      api.SetValue(key, name, type, data);
    }
  }

  std::uint32_t state_;
  std::vector<std::string> texts_;
  int budget_ = 0;
};

}  // namespace morvane
