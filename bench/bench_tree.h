// The scan benchmark's scratch tree: a large registry subtree shaped like the software branch
// of a well-used machine. Vendors hold products, products hold components, components hold
// items; each key holds 0 to 6 values, a mix of REG_DWORD, REG_BINARY and REG_SZ texts, many of
// them file paths: some naming files that exist (64 files of the system folder), some broken
// (files of the product's own folder), some with arguments (" -u", ",0",
// " \"%1\"", "%1", "!1", " /S").
//
// The keys are volatile: they live in wineserver's memory only, so the server never pauses to
// write a hundred thousand keys to the prefix's files while the benchmark is measuring.
#pragma once

#include <windows.h>

#include <string>

namespace morvane::bench {

struct TreeShape {
  int vendors = 40;
  int products = 25;    // per vendor
  int components = 10;  // per product
  int items = 9;        // per component
};

struct TreeCounts {
  long keys = 0;  // below the scratch key, not counting it
  long values = 0;
  long texts = 0;  // REG_SZ values
  long paths = 0;  // texts that name a file on drive C
  long dwords = 0;
  long binaries = 0;
};

// Creates the tree at path under root (removing whatever was there first), every key opened in
// the registry view given (0, KEY_WOW64_64KEY or KEY_WOW64_32KEY).
TreeCounts SeedTree(const std::string& path, const TreeShape& shape, HKEY root = HKEY_CURRENT_USER,
                    REGSAM view = 0);
// Removes the scratch key and everything below it.
void RemoveTree(const std::string& path, HKEY root = HKEY_CURRENT_USER, REGSAM view = 0);

}  // namespace morvane::bench
