// The registry seam over advapi32. One instance serves every thread; its reading buffers belong
// to the thread that reads. They are sized with RegQueryInfoKeyA where it helps and grown
// whenever the registry answers ERROR_MORE_DATA, so names and data of any length fit.
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/WideText.h"
#include "platform/RegistryApi.h"

namespace morvane {

namespace {

HKEY ToHkey(RegKey key) {
  // The predefined roots are sign-extended on 64-bit Windows.
  switch (key) {
    case static_cast<RegKey>(RootKey::ClassesRoot):
      return HKEY_CLASSES_ROOT;
    case static_cast<RegKey>(RootKey::CurrentUser):
      return HKEY_CURRENT_USER;
    case static_cast<RegKey>(RootKey::LocalMachine):
      return HKEY_LOCAL_MACHINE;
    default:
      return reinterpret_cast<HKEY>(key);
  }
}

bool IsRoot(RegKey key) {
  return key == static_cast<RegKey>(RootKey::ClassesRoot) ||
         key == static_cast<RegKey>(RootKey::CurrentUser) ||
         key == static_cast<RegKey>(RootKey::LocalMachine);
}

class WinRegistryApi final : public RegistryApi {
 public:
  long OpenKey(RegKey base, const std::string& subPath, std::uint32_t access,
               RegKey& out) override {
    HKEY key = nullptr;
    LONG rc = RegOpenKeyExA(ToHkey(base), subPath.c_str(), 0, access, &key);
    out = rc == ERROR_SUCCESS ? reinterpret_cast<RegKey>(key) : 0;
    return rc;
  }

  long OpenKeyNoFollow(RegKey base, const std::string& subPath, std::uint32_t access,
                       RegKey& out) override {
    HKEY key = nullptr;
    LONG rc = RegOpenKeyExA(ToHkey(base), subPath.c_str(), REG_OPTION_OPEN_LINK, access, &key);
    out = rc == ERROR_SUCCESS ? reinterpret_cast<RegKey>(key) : 0;
    return rc;
  }

  long CreateKey(RegKey base, const std::string& subPath, std::uint32_t access, RegKey& out,
                 bool* created = nullptr) override {
    HKEY key = nullptr;
    DWORD disposition = 0;
    LONG rc = RegCreateKeyExA(ToHkey(base), subPath.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                              access, nullptr, &key, &disposition);
    out = rc == ERROR_SUCCESS ? reinterpret_cast<RegKey>(key) : 0;
    if (created != nullptr) *created = rc == ERROR_SUCCESS && disposition == REG_CREATED_NEW_KEY;
    return rc;
  }

  void CloseKey(RegKey key) override {
    if (key != 0 && !IsRoot(key)) RegCloseKey(ToHkey(key));
  }

  long QueryInfo(RegKey key, RegKeyInfo& info) override {
    DWORD subkeys = 0, maxSubkey = 0, values = 0, maxName = 0, maxData = 0;
    FILETIME written{};
    LONG rc = RegQueryInfoKeyA(ToHkey(key), nullptr, nullptr, nullptr, &subkeys, &maxSubkey,
                               nullptr, &values, &maxName, &maxData, nullptr, &written);
    if (rc != ERROR_SUCCESS) return rc;
    info.subkeys = subkeys;
    info.maxSubkeyLen = maxSubkey;
    info.values = values;
    info.maxValueNameLen = maxName;
    info.maxValueLen = maxData;
    info.lastWriteTime = (std::uint64_t(written.dwHighDateTime) << 32) | written.dwLowDateTime;
    return rc;
  }

  long EnumKey(RegKey key, std::uint32_t index, std::string& name) override {
    // Key names are at most 255 characters.
    char buffer[256 + 1];
    DWORD length = sizeof buffer;
    LONG rc =
        RegEnumKeyExA(ToHkey(key), index, buffer, &length, nullptr, nullptr, nullptr, nullptr);
    if (rc == ERROR_SUCCESS) name.assign(buffer, length);
    return rc;
  }

  long EnumValue(RegKey key, std::uint32_t index, RegValue& value, bool wantData) override {
    if (wantData) return EnumValueWithData(key, index, value);
    std::vector<char>& nameBuffer = ThreadBuffers().name;
    // Value names may reach 16,383 characters. Start small and grow.
    if (nameBuffer.size() < 512) nameBuffer.resize(512);
    for (int attempt = 0; attempt < 8; ++attempt) {
      DWORD nameLength = static_cast<DWORD>(nameBuffer.size());
      DWORD type = 0;
      LONG rc = RegEnumValueA(ToHkey(key), index, nameBuffer.data(), &nameLength, nullptr, &type,
                              nullptr, nullptr);
      if (rc == ERROR_MORE_DATA) {
        nameBuffer.resize(nameBuffer.size() * 2);
        continue;
      }
      if (rc != ERROR_SUCCESS) return rc;
      value.name.assign(nameBuffer.data(), nameLength);
      value.type = type;
      value.data.clear();
      value.exact = true;
      return rc;
    }
    return ERROR_MORE_DATA;
  }

  long QueryValue(RegKey key, const std::string& name, std::uint32_t& type,
                  std::string* data) override {
    DWORD valueType = 0;
    if (data == nullptr) {
      LONG rc = RegQueryValueExA(ToHkey(key), name.c_str(), nullptr, &valueType, nullptr, nullptr);
      if (rc == ERROR_SUCCESS) type = valueType;
      return rc;
    }
    // Most values are short: one call into a buffer on the stack reads them whole. A longer one
    // answers ERROR_MORE_DATA with its size, and is read again into a buffer of that size.
    char small[512];
    DWORD length = sizeof small;
    LONG rc = RegQueryValueExA(ToHkey(key), name.c_str(), nullptr, &valueType,
                               reinterpret_cast<BYTE*>(small), &length);
    if (rc == ERROR_SUCCESS) {
      data->assign(small, length);
      type = valueType;
      return rc;
    }
    if (rc == ERROR_MORE_DATA) rc = ERROR_SUCCESS;
    for (int attempt = 0; rc == ERROR_SUCCESS && attempt < 8; ++attempt) {
      data->resize(length + 2);
      DWORD got = length + 2;
      rc = RegQueryValueExA(ToHkey(key), name.c_str(), nullptr, &valueType,
                            reinterpret_cast<BYTE*>(data->data()), &got);
      if (rc == ERROR_SUCCESS) {
        data->resize(got);
        type = valueType;
        return rc;
      }
      if (rc == ERROR_MORE_DATA) {  // grew between the two calls
        length = got > length ? got : length * 2 + 16;
        rc = ERROR_SUCCESS;
      }
    }
    data->clear();
    return rc;
  }

  long QueryExactText(RegKey key, const std::string& name, std::string& text,
                      bool& exact) override {
    // The name was read through the narrow calls; it finds its value again only if it survived
    // that reading, which is all a caller about to act on the value needs.
    const std::wstring wideName = Widen(name);
    std::wstring data;
    DWORD type = 0, length = 0;
    LONG rc = RegQueryValueExW(ToHkey(key), wideName.c_str(), nullptr, &type, nullptr, &length);
    for (int attempt = 0; rc == ERROR_SUCCESS && attempt < 8; ++attempt) {
      data.assign(length / sizeof(wchar_t) + 2, L'\0');
      DWORD got = static_cast<DWORD>(data.size() * sizeof(wchar_t));
      rc = RegQueryValueExW(ToHkey(key), wideName.c_str(), nullptr, &type,
                            reinterpret_cast<BYTE*>(data.data()), &got);
      if (rc == ERROR_MORE_DATA) {
        length = got > length ? got : length * 2 + 16;
        rc = ERROR_SUCCESS;
        continue;
      }
      if (rc != ERROR_SUCCESS) return rc;
      if (type != REG_SZ && type != REG_EXPAND_SZ) return ERROR_FILE_NOT_FOUND;
      data.resize(got / sizeof(wchar_t));
      data.resize(std::min(data.size(), data.find(L'\0')));
      text.clear();
      exact = true;
      if (data.empty()) return ERROR_SUCCESS;
      // A UTF-8 code page spells everything and takes neither the flag nor the question.
      const bool utf8 = GetACP() == CP_UTF8;
      const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
      BOOL substituted = FALSE;
      BOOL* ask = utf8 ? nullptr : &substituted;
      const int wideLength = static_cast<int>(data.size());
      const int size =
          WideCharToMultiByte(CP_ACP, flags, data.data(), wideLength, nullptr, 0, nullptr, ask);
      if (size <= 0) {
        exact = false;
        return ERROR_SUCCESS;
      }
      text.resize(static_cast<std::size_t>(size));
      WideCharToMultiByte(CP_ACP, flags, data.data(), wideLength, text.data(), size, nullptr, ask);
      exact = !substituted;
      return ERROR_SUCCESS;
    }
    return rc;
  }

  long SetValue(RegKey key, const std::string& name, std::uint32_t type,
                const std::string& data) override {
    return RegSetValueExA(ToHkey(key), name.c_str(), 0, type,
                          reinterpret_cast<const BYTE*>(data.data()),
                          static_cast<DWORD>(data.size()));
  }

  long DeleteKey(RegKey base, const std::string& subPath) override {
    return RegDeleteKeyA(ToHkey(base), subPath.c_str());
  }

  long DeleteValue(RegKey key, const std::string& name) override {
    return RegDeleteValueA(ToHkey(key), name.c_str());
  }

  long DeleteOpenedKey(RegKey key) override {
    // RegDeleteKey takes a name and opens it again, following a link to its target; the
    // native call deletes exactly the key the handle is open on.
    using NtDeleteKeyFn = LONG(WINAPI*)(HANDLE);
    using ToDosErrorFn = ULONG(WINAPI*)(LONG);
    static const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    static const auto ntDeleteKey = reinterpret_cast<NtDeleteKeyFn>(
        reinterpret_cast<void*>(GetProcAddress(ntdll, "NtDeleteKey")));
    static const auto toDosError = reinterpret_cast<ToDosErrorFn>(
        reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlNtStatusToDosError")));
    if (ntDeleteKey == nullptr || toDosError == nullptr) return ERROR_CALL_NOT_IMPLEMENTED;
    if (key == 0 || IsRoot(key)) return ERROR_ACCESS_DENIED;
    const LONG status = ntDeleteKey(ToHkey(key));
    return status == 0 ? ERROR_SUCCESS : static_cast<long>(toDosError(status));
  }

  bool HasTwoViews() override {
#ifdef _WIN64
    return true;
#else
    static const bool wow64 = [] {
      using IsWow64Fn = BOOL(WINAPI*)(HANDLE, PBOOL);
      const auto isWow64 = reinterpret_cast<IsWow64Fn>(reinterpret_cast<void*>(
          GetProcAddress(GetModuleHandleA("kernel32.dll"), "IsWow64Process")));
      BOOL result = FALSE;
      return isWow64 != nullptr && isWow64(GetCurrentProcess(), &result) && result;
    }();
    return wow64;
#endif
  }

 private:
  // The value read through the wide call and spelled in the ANSI code page here, as the narrow
  // call would spell it (name, and data of the text types), noting whether any character had
  // to be replaced on the way. Data is unbounded and names reach 16,383 characters: the
  // buffers start small and grow.
  long EnumValueWithData(RegKey key, std::uint32_t index, RegValue& value) {
    Buffers& buffers = ThreadBuffers();
    std::vector<wchar_t>& wideName = buffers.wideName;
    std::vector<char>& wideData = buffers.wideData;
    if (wideName.size() < 512) wideName.resize(512);
    if (wideData.size() < 4096) wideData.resize(4096);
    for (int attempt = 0; attempt < 8; ++attempt) {
      DWORD nameLength = static_cast<DWORD>(wideName.size());
      DWORD dataLength = static_cast<DWORD>(wideData.size());
      DWORD type = 0;
      LONG rc = RegEnumValueW(ToHkey(key), index, wideName.data(), &nameLength, nullptr, &type,
                              reinterpret_cast<BYTE*>(wideData.data()), &dataLength);
      if (rc == ERROR_MORE_DATA) {
        RegKeyInfo info;
        QueryInfo(key, info);
        wideName.resize(std::max<std::size_t>(wideName.size() * 2, info.maxValueNameLen + 2));
        wideData.resize(std::max<std::size_t>(
            {wideData.size() * 2, std::size_t(info.maxValueLen) + 2, std::size_t(dataLength) + 2}));
        continue;
      }
      if (rc != ERROR_SUCCESS) return rc;
      bool exact = SpellExactlyInAnsi(reinterpret_cast<const wchar_t*>(wideName.data()), nameLength,
                                      value.name);
      value.type = type;
      if (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ) {
        // Whole characters only: a stray last byte of odd-sized data is dropped, as the narrow
        // call drops it.
        exact = SpellExactlyInAnsi(reinterpret_cast<const wchar_t*>(wideData.data()),
                                   dataLength / sizeof(wchar_t), value.data) &&
                exact;
      } else {
        value.data.assign(wideData.data(), dataLength);
      }
      value.exact = exact;
      return rc;
    }
    return ERROR_MORE_DATA;
  }

  // The window's thread and the scan worker read through the one instance at the same time:
  // each thread reads into buffers of its own, kept between its calls.
  struct Buffers {
    std::vector<char> name;
    std::vector<wchar_t> wideName;
    std::vector<char> wideData;
  };
  static Buffers& ThreadBuffers() {
    thread_local Buffers buffers;
    return buffers;
  }
};

}  // namespace

RegistryApi& SystemRegistry() {
  // One for the whole program: it keeps nothing between calls that threads could share.
  static WinRegistryApi api;
  return api;
}

}  // namespace morvane
