// A registry seam that counts the calls made through it, by kind, and passes them on.
#pragma once

#include <string>

#include "platform/RegistryApi.h"

namespace morvane::bench {

class CountingRegistry final : public RegistryApi {
 public:
  explicit CountingRegistry(RegistryApi& inner) : inner_(inner) {}
  long OpenKey(RegKey b, const std::string& p, std::uint32_t a, RegKey& o) override {
    ++opens;
    return inner_.OpenKey(b, p, a, o);
  }
  long OpenKeyNoFollow(RegKey b, const std::string& p, std::uint32_t a, RegKey& o) override {
    ++opens;
    return inner_.OpenKeyNoFollow(b, p, a, o);
  }
  long CreateKey(RegKey b, const std::string& p, std::uint32_t a, RegKey& o,
                 bool* c = nullptr) override {
    ++creates;
    return inner_.CreateKey(b, p, a, o, c);
  }
  void CloseKey(RegKey k) override {
    ++closes;
    inner_.CloseKey(k);
  }
  long QueryInfo(RegKey k, RegKeyInfo& i) override {
    ++infos;
    return inner_.QueryInfo(k, i);
  }
  long EnumKey(RegKey k, std::uint32_t i, std::string& n) override {
    ++enumKeys;
    return inner_.EnumKey(k, i, n);
  }
  long EnumValue(RegKey k, std::uint32_t i, RegValue& v, bool d) override {
    ++enumValues;
    return inner_.EnumValue(k, i, v, d);
  }
  long QueryValue(RegKey k, const std::string& n, std::uint32_t& t, std::string* d) override {
    ++queries;
    return inner_.QueryValue(k, n, t, d);
  }
  long SetValue(RegKey k, const std::string& n, std::uint32_t t, const std::string& d) override {
    ++sets;
    return inner_.SetValue(k, n, t, d);
  }
  long DeleteKey(RegKey b, const std::string& p) override {
    ++deletes;
    return inner_.DeleteKey(b, p);
  }
  long DeleteValue(RegKey k, const std::string& n) override {
    ++deletes;
    return inner_.DeleteValue(k, n);
  }
  long DeleteOpenedKey(RegKey k) override {
    ++deletes;
    return inner_.DeleteOpenedKey(k);
  }
  bool HasTwoViews() override { return inner_.HasTwoViews(); }

  // Key information and enumerations together.
  long Listings() const { return infos + enumKeys + enumValues; }
  long Total() const { return opens + creates + closes + queries + sets + deletes + Listings(); }
  long opens = 0, creates = 0, closes = 0, infos = 0, enumKeys = 0, enumValues = 0, queries = 0,
       sets = 0, deletes = 0;

 private:
  RegistryApi& inner_;
};

}  // namespace morvane::bench
