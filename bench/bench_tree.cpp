#include "bench/bench_tree.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <vector>

namespace morvane::bench {

namespace {

// A fixed mix from two numbers, so every run seeds the same tree.
std::uint32_t Mix(std::uint32_t a, std::uint32_t b) {
  std::uint64_t x = (std::uint64_t(a) << 32 | b) + 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return static_cast<std::uint32_t>(x ^ (x >> 31));
}

const char* const kValueNames[] = {
    "",         "DisplayName", "DisplayIcon", "UninstallString", "InstallLocation", "Version",
    "Path",     "Icon",        "Command",     "Flags",           "Language",        "Publisher",
    "HelpLink", "LastUsed",    "Options",     "DataFile",        "Settings",        "ModifyPath",
};
constexpr int kValueNameCount = sizeof kValueNames / sizeof kValueNames[0];

// Files in each product's folder (none of which exist).
const char* const kProductFiles[] = {"app.exe",    "setup.exe",  "helper.dll",
                                     "uninst.exe", "viewer.exe", "core.dll"};
const char* const kArguments[] = {"", " -u", ",0", " \"%1\"", " %1", "!1", " /S", ",-101"};
const char* const kPlainTexts[] = {"Quorvial Ltd.",
                                   "en-US",
                                   "http://update.invalid/check",
                                   "%ProgramFiles%\\Shared\\x.exe",
                                   "A:\\setup.exe",
                                   "Q:\\media\\intro.avi",
                                   "1",
                                   "Default",
                                   "\"C:\\Quoted\\tool.exe\" -x"};

// Up to count programs and libraries of the system folder, spread over its sorted listing.
std::vector<std::string> SystemFiles(std::size_t count) {
  char system[MAX_PATH];
  GetSystemDirectoryA(system, MAX_PATH);
  std::vector<std::string> all;
  for (const char* pattern : {"\\*.dll", "\\*.exe"}) {
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((std::string(system) + pattern).c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) continue;
    do {
      if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        all.push_back(std::string(system) + "\\" + data.cFileName);
    } while (FindNextFileA(find, &data));
    FindClose(find);
  }
  std::sort(all.begin(), all.end());
  std::vector<std::string> picked;
  for (std::size_t i = 0; i < count && !all.empty(); ++i)
    picked.push_back(all[i * all.size() / count]);
  if (picked.empty()) throw std::runtime_error("the system folder lists no files");
  return picked;
}

template <std::size_t N>
const char* Pick(const char* const (&list)[N], std::uint32_t r) {
  return list[r % N];
}

class Seeder {
 public:
  Seeder(const TreeShape& shape, REGSAM view)
      : shape_(shape), view_(view), systemFiles_(SystemFiles(64)) {}

  TreeCounts Seed(HKEY root) {
    for (int v = 0; v < shape_.vendors; ++v) {
      vendor_ = v;
      HKEY vendorKey = Create(root, Name("Vendor%02d", v));
      for (int p = 0; p < shape_.products; ++p) {
        product_ = p;
        HKEY productKey = Create(vendorKey, Name("Product%02d", p));
        for (int c = 0; c < shape_.components; ++c) {
          HKEY componentKey = Create(productKey, Name("Component%d", c));
          for (int i = 0; i < shape_.items; ++i)
            RegCloseKey(Create(componentKey, Name("Item%d", i)));
          RegCloseKey(componentKey);
        }
        RegCloseKey(productKey);
      }
      RegCloseKey(vendorKey);
    }
    return counts_;
  }

 private:
  static std::string Name(const char* format, int n) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, n);
    return buffer;
  }

  HKEY Create(HKEY parent, const std::string& name) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(parent, name.c_str(), 0, nullptr, REG_OPTION_VOLATILE,
                        KEY_ALL_ACCESS | view_, nullptr, &key, nullptr) != ERROR_SUCCESS)
      throw std::runtime_error("cannot create key " + name);
    const std::uint32_t index = static_cast<std::uint32_t>(counts_.keys++);
    const int values = static_cast<int>(index % 7);  // 0..6, three on average
    for (int j = 0; j < values; ++j) AddValue(key, index, j);
    return key;
  }

  void AddValue(HKEY key, std::uint32_t keyIndex, int j) {
    const std::uint32_t r = Mix(keyIndex, static_cast<std::uint32_t>(j));
    const std::string name = kValueNames[(keyIndex + j) % kValueNameCount];
    const std::uint32_t kind = r % 100;
    ++counts_.values;
    if (kind < 28) {
      const DWORD data = Mix(r, 1);
      Set(key, name, REG_DWORD, &data, sizeof data);
      ++counts_.dwords;
      return;
    }
    if (kind < 40) {
      std::string data(8 + r % 57, '\0');
      for (std::size_t b = 0; b < data.size(); ++b)
        data[b] = static_cast<char>(Mix(r, static_cast<std::uint32_t>(b)));
      Set(key, name, REG_BINARY, data.data(), data.size());
      ++counts_.binaries;
      return;
    }
    const std::uint32_t s = Mix(r, 2) % 100;
    std::string text;
    if (s < 35) {  // a file of this product, which is not there
      char folder[96];
      std::snprintf(folder, sizeof folder, "C:\\Program Files\\Vendor%02d\\Product%02d\\", vendor_,
                    product_);
      text = std::string(folder) + Pick(kProductFiles, Mix(r, 3)) + Pick(kArguments, Mix(r, 4));
    } else if (s < 60) {  // a file that exists
      text = systemFiles_[Mix(r, 5) % systemFiles_.size()] + Pick(kArguments, Mix(r, 6));
    } else if (s < 65) {  // the product's folder
      char folder[96];
      std::snprintf(folder, sizeof folder, "C:\\Program Files\\Vendor%02d\\Product%02d", vendor_,
                    product_);
      text = folder;
    } else {
      text = Pick(kPlainTexts, Mix(r, 7));
    }
    if (text.size() > 1 && (text[0] == 'C' || text[0] == 'c') && text[1] == ':') ++counts_.paths;
    Set(key, name, REG_SZ, text.c_str(), text.size() + 1);
    ++counts_.texts;
  }

  static void Set(HKEY key, const std::string& name, DWORD type, const void* data,
                  std::size_t size) {
    if (RegSetValueExA(key, name.c_str(), 0, type, static_cast<const BYTE*>(data),
                       static_cast<DWORD>(size)) != ERROR_SUCCESS)
      throw std::runtime_error("cannot set value " + name);
  }

  TreeShape shape_;
  REGSAM view_;
  TreeCounts counts_;
  std::vector<std::string> systemFiles_;
  int vendor_ = 0, product_ = 0;
};

}  // namespace

void RemoveTree(const std::string& path, HKEY root, REGSAM view) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS | view, &key) != ERROR_SUCCESS) return;
  RegDeleteTreeA(key, nullptr);
  RegCloseKey(key);
  RegDeleteKeyExA(root, path.c_str(), view, 0);
}

TreeCounts SeedTree(const std::string& path, const TreeShape& shape, HKEY root, REGSAM view) {
  RemoveTree(path, root, view);
  HKEY top = nullptr;
  if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS | view,
                      nullptr, &top, nullptr) != ERROR_SUCCESS)
    throw std::runtime_error("cannot create " + path);
  Seeder seeder(shape, view);
  TreeCounts counts = seeder.Seed(top);
  RegCloseKey(top);
  return counts;
}

}  // namespace morvane::bench
