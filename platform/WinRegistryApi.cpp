// The registry seam over advapi32's wide calls. Names and text data are UTF-8 on the seam and
// UTF-16 at the call, converted here, once each way (RegValue says how text data is kept). One
// instance serves every thread; its buffers belong to the thread that uses them. They are sized
// with RegQueryInfoKeyW where it helps and grown whenever the registry answers ERROR_MORE_DATA,
// so names and data of any length fit.
#include <windows.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "platform/RegistryApi.h"
#include "platform/Utf.h"

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

// The window's thread and the scan worker call through the one instance at the same time: each
// thread converts and reads into buffers of its own, kept between its calls.
struct Buffers {
  std::wstring path;  // a name or path handed in, as the call takes it
  std::wstring text;  // text data handed in
  std::vector<wchar_t> name;
  std::vector<wchar_t> data;  // whole units, so that text needs no copy to be read
};
Buffers& ThreadBuffers() {
  thread_local Buffers buffers;
  return buffers;
}

// utf8 as a zero-terminated wide text in buffer; nullptr when it holds a NUL. The calls take a
// name up to its first NUL: handed on, such a name would name some other key or value.
const wchar_t* Wide(std::string_view utf8, std::wstring& buffer) {
  if (utf8.find('\0') != std::string_view::npos) return nullptr;
  buffer.clear();
  AppendUtf16(utf8, buffer);
  return buffer.c_str();
}

// Data as the registry returned it, into the seam's form: the units of a text type as UTF-8
// (an odd last byte is no unit and is left out), any other type's bytes as they are.
void DataFromRegistry(DWORD type, const wchar_t* data, DWORD bytes, std::string& out) {
  out.clear();
  if (IsTextType(type))
    AppendUtf8(data, bytes / sizeof(wchar_t), out);
  else
    out.assign(reinterpret_cast<const char*>(data), bytes);
}

class WinRegistryApi final : public RegistryApi {
 public:
  long OpenKey(RegKey base, const std::string& subPath, std::uint32_t access,
               RegKey& out) override {
    HKEY key = nullptr;
    const wchar_t* path = Wide(subPath, ThreadBuffers().path);
    const LONG rc = path == nullptr ? ERROR_INVALID_PARAMETER
                                    : RegOpenKeyExW(ToHkey(base), path, 0, access, &key);
    out = rc == ERROR_SUCCESS ? reinterpret_cast<RegKey>(key) : 0;
    return rc;
  }

  long OpenKeyNoFollow(RegKey base, const std::string& subPath, std::uint32_t access,
                       RegKey& out) override {
    HKEY key = nullptr;
    const wchar_t* path = Wide(subPath, ThreadBuffers().path);
    const LONG rc = path == nullptr
                        ? ERROR_INVALID_PARAMETER
                        : RegOpenKeyExW(ToHkey(base), path, REG_OPTION_OPEN_LINK, access, &key);
    out = rc == ERROR_SUCCESS ? reinterpret_cast<RegKey>(key) : 0;
    return rc;
  }

  long CreateKey(RegKey base, const std::string& subPath, std::uint32_t access, RegKey& out,
                 bool* created = nullptr) override {
    HKEY key = nullptr;
    DWORD disposition = 0;
    const wchar_t* path = Wide(subPath, ThreadBuffers().path);
    const LONG rc = path == nullptr
                        ? ERROR_INVALID_PARAMETER
                        : RegCreateKeyExW(ToHkey(base), path, 0, nullptr, REG_OPTION_NON_VOLATILE,
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
    const LONG rc = RegQueryInfoKeyW(ToHkey(key), nullptr, nullptr, nullptr, &subkeys, &maxSubkey,
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
    // Key names are at most 255 units.
    wchar_t buffer[kMaxKeyNameUnits + 2];
    DWORD length = static_cast<DWORD>(std::size(buffer));
    const LONG rc =
        RegEnumKeyExW(ToHkey(key), index, buffer, &length, nullptr, nullptr, nullptr, nullptr);
    if (rc == ERROR_SUCCESS) {
      name.clear();
      AppendUtf8(buffer, length, name);
    }
    return rc;
  }

  long EnumValue(RegKey key, std::uint32_t index, RegValue& value, bool wantData) override {
    Buffers& buffers = ThreadBuffers();
    std::vector<wchar_t>& name = buffers.name;
    std::vector<wchar_t>& data = buffers.data;
    // Value names may reach 16,383 units and data has no bound: start small and grow.
    if (name.size() < 512) name.resize(512);
    if (wantData && data.size() < 2048) data.resize(2048);
    for (int attempt = 0; attempt < 8; ++attempt) {
      DWORD nameLength = static_cast<DWORD>(name.size());
      DWORD dataLength = static_cast<DWORD>(data.size() * sizeof(wchar_t));
      DWORD type = 0;
      const LONG rc = RegEnumValueW(ToHkey(key), index, name.data(), &nameLength, nullptr, &type,
                                    wantData ? reinterpret_cast<BYTE*>(data.data()) : nullptr,
                                    wantData ? &dataLength : nullptr);
      if (rc == ERROR_MORE_DATA) {
        RegKeyInfo info;
        QueryInfo(key, info);
        name.resize(std::max<std::size_t>(name.size() * 2, info.maxValueNameLen + 2));
        if (wantData)
          data.resize(std::max<std::size_t>({data.size() * 2, std::size_t(info.maxValueLen) / 2 + 2,
                                             std::size_t(dataLength) / 2 + 2}));
        continue;
      }
      if (rc != ERROR_SUCCESS) return rc;
      value.name.clear();
      AppendUtf8(name.data(), nameLength, value.name);
      value.type = type;
      if (wantData)
        DataFromRegistry(type, data.data(), dataLength, value.data);
      else
        value.data.clear();
      return rc;
    }
    return ERROR_MORE_DATA;
  }

  long QueryValue(RegKey key, const std::string& name, std::uint32_t& type,
                  std::string* data) override {
    Buffers& buffers = ThreadBuffers();
    const wchar_t* wideName = Wide(name, buffers.path);
    if (wideName == nullptr) return ERROR_INVALID_PARAMETER;
    DWORD valueType = 0;
    if (data == nullptr) {
      const LONG rc =
          RegQueryValueExW(ToHkey(key), wideName, nullptr, &valueType, nullptr, nullptr);
      if (rc == ERROR_SUCCESS) type = valueType;
      return rc;
    }
    // Most values are short: one call into a buffer on the stack reads them whole. A longer one
    // answers ERROR_MORE_DATA with its size, and is read again into a buffer of that size.
    wchar_t small[256];
    DWORD length = sizeof small;
    LONG rc = RegQueryValueExW(ToHkey(key), wideName, nullptr, &valueType,
                               reinterpret_cast<BYTE*>(small), &length);
    if (rc == ERROR_SUCCESS) {
      DataFromRegistry(valueType, small, length, *data);
      type = valueType;
      return rc;
    }
    if (rc == ERROR_MORE_DATA) rc = ERROR_SUCCESS;
    std::vector<wchar_t>& large = buffers.data;
    for (int attempt = 0; rc == ERROR_SUCCESS && attempt < 8; ++attempt) {
      large.resize(std::max<std::size_t>(large.size(), length / sizeof(wchar_t) + 2));
      DWORD got = static_cast<DWORD>(large.size() * sizeof(wchar_t));
      rc = RegQueryValueExW(ToHkey(key), wideName, nullptr, &valueType,
                            reinterpret_cast<BYTE*>(large.data()), &got);
      if (rc == ERROR_SUCCESS) {
        DataFromRegistry(valueType, large.data(), got, *data);
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

  long SetValue(RegKey key, const std::string& name, std::uint32_t type,
                const std::string& data) override {
    Buffers& buffers = ThreadBuffers();
    const wchar_t* wideName = Wide(name, buffers.path);
    if (wideName == nullptr) return ERROR_INVALID_PARAMETER;
    if (!IsTextType(type))
      return RegSetValueExW(ToHkey(key), wideName, 0, type,
                            reinterpret_cast<const BYTE*>(data.data()),
                            static_cast<DWORD>(data.size()));
    // Every unit of the text, its NULs included, and nothing more. The call takes a text that
    // does not end in NUL but is followed by one in memory for one with a terminator, and stores
    // that too: a unit that is not NUL follows it here.
    std::wstring& text = buffers.text;
    text.clear();
    AppendUtf16(data, text);
    const DWORD bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    text.push_back(L'\x1');
    return RegSetValueExW(ToHkey(key), wideName, 0, type,
                          reinterpret_cast<const BYTE*>(text.data()), bytes);
  }

  long DeleteKey(RegKey base, const std::string& subPath) override {
    const wchar_t* path = Wide(subPath, ThreadBuffers().path);
    return path == nullptr ? ERROR_INVALID_PARAMETER : RegDeleteKeyW(ToHkey(base), path);
  }

  long DeleteValue(RegKey key, const std::string& name) override {
    const wchar_t* wideName = Wide(name, ThreadBuffers().path);
    return wideName == nullptr ? ERROR_INVALID_PARAMETER : RegDeleteValueW(ToHkey(key), wideName);
  }

  long DeleteOpenedKey(RegKey key) override {
    // RegDeleteKey takes a name and opens it again, following a link to its target; the
    // native call deletes exactly the key the handle is open on.
    using NtDeleteKeyFn = LONG(WINAPI*)(HANDLE);
    using ToDosErrorFn = ULONG(WINAPI*)(LONG);
    static const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
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
          GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "IsWow64Process")));
      BOOL result = FALSE;
      return isWow64 != nullptr && isWow64(GetCurrentProcess(), &result) && result;
    }();
    return wow64;
#endif
  }
};

}  // namespace

RegistryApi& SystemRegistry() {
  // One for the whole program: it keeps nothing between calls that threads could share.
  static WinRegistryApi api;
  return api;
}

}  // namespace morvane
