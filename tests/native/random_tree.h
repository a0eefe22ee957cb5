// Random registry trees for comparing the scan with the reference scan: keys of mixed-case
// names a few levels deep, values of every kind a registry holds (texts with and without their
// terminator or with bytes after it, expandable texts, lists, numbers, bytes), names with '?',
// default values. Written through the seam, so one tree can be seeded into the in-memory
// registry or the real one.
#pragma once

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

  // Creates a tree of about `keys` keys below path (which is created) under root; returns the
  // paths of the keys made, below and without a leading backslash.
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
    if (depth == 0) return;
    const int children = static_cast<int>(depth > 1 ? 1 + Next(4) : Next(4));
    for (int c = 0; c < children && budget_ > 0; ++c) {
      static const char* const kStems[] = {"Key", "key", "KEY", "Vendor", "tool", "Sub", "a", "Z"};
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
    const int count = static_cast<int>(Next(6));
    for (int v = 0; v < count; ++v) {
      static const char* const kNames[] = {"",     "Path", "path2", "Icon", "Uninstall",
                                           "who?", "N",    "Data",  "x?y"};
      const std::string name =
          std::string(kNames[Next(9)]) + (Next(3) == 0 ? std::to_string(v) : "");
      const std::string text = texts_.empty()
                                   ? std::string("C:\\x.exe")
                                   : texts_[Next(static_cast<std::uint32_t>(texts_.size()))];
      switch (Next(10)) {
        case 0:
          api.SetValue(key, name, kRegDword, std::string("\x01\x00\x00\x00", 4));
          break;
        case 1:
          api.SetValue(key, name, kRegBinary, text);
          break;
        case 2:
          api.SetValue(key, name, kRegExpandSz, text + std::string(1, '\0'));
          break;
        case 3:
          api.SetValue(key, name, kRegMultiSz, text + std::string(2, '\0'));
          break;
        case 4:
          api.SetValue(key, name, kRegSz, text);
          break;  // no terminator
        case 5:
          api.SetValue(key, name, kRegSz, text + std::string(1, '\0') + "C:\\after.exe");
          break;
        default:
          api.SetValue(key, name, kRegSz, text + std::string(1, '\0'));
          break;
      }
    }
  }

  std::uint32_t state_;
  std::vector<std::string> texts_;
  int budget_ = 0;
};

}  // namespace morvane
