// Set-up helpers for tests on the real (Wine) registry and disk of the test prefix: files made,
// read and removed by their exact names, files in either view of the system folder, values written
// as exact bytes or wide text, registry links.
#pragma once

#include <windows.h>

#include <string>

#include "platform/WideText.h"

namespace morvane {

// Removes a folder and everything below it; a link below it is removed as the link, never
// followed.
inline void RemoveTree(const std::wstring& folder) {
  WIN32_FIND_DATAW data;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &data);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = data.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring path = folder + L"\\" + name;
      SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
        RemoveDirectoryW(path.c_str());  // the link only
      else if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        RemoveTree(path);
      else
        DeleteFileW(path.c_str());
    } while (FindNextFileW(search, &data));
    FindClose(search);
  }
  RemoveDirectoryW(folder.c_str());
}

inline bool Exists(const std::string& path) {
  return GetFileAttributesW(Widen(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A file of that size (sparse on the Unix side) named in UTF-8, with the folders above it from
// the drive's root down.
inline bool MakeFile(const std::string& path, long long size = 0,
                     DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
  for (std::size_t at = path.find('\\', 3); at != std::string::npos; at = path.find('\\', at + 1))
    CreateDirectoryW(Widen(path.substr(0, at)).c_str(), nullptr);
  HANDLE file = CreateFileW(Widen(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            attributes, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER end;
  end.QuadPart = size;
  const bool sized = SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file);
  CloseHandle(file);
  return sized;
}

// The bytes of the file of exactly that name, or "(missing)" when it cannot be opened.
inline std::string ReadNamedFile(const std::string& name) {
  HANDLE file = CreateFileW(Widen(name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "(missing)";
  std::string content;
  char buffer[4096];
  DWORD read = 0;
  while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0)
    content.append(buffer, read);
  CloseHandle(file);
  return content;
}

inline std::string WindowsFolder() {
  char windows[MAX_PATH];
  GetWindowsDirectoryA(windows, MAX_PATH);
  return windows;
}

// True in a 32-bit process on 64-bit Windows, where System32 is redirected to SysWOW64.
inline bool IsWow64Process32() {
  BOOL wow64 = FALSE;
  return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

// Creates an empty file named name under <Windows>\system32 as the native view sees it
// (native = true: the real System32) or as this process sees it (SysWOW64 when redirected);
// returns its path as a program would write it, or "" when it could not be made.
inline std::string FileInSystemFolder(const std::string& name, bool native) {
  using Disable = BOOL(WINAPI*)(PVOID*);
  using Revert = BOOL(WINAPI*)(PVOID);
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  auto disable = reinterpret_cast<Disable>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "Wow64DisableWow64FsRedirection")));
  auto revert = reinterpret_cast<Revert>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "Wow64RevertWow64FsRedirection")));
  const std::string path = WindowsFolder() + "\\system32\\" + name;
  PVOID state = nullptr;
  const bool off = native && disable != nullptr && disable(&state);
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  if (off) revert(state);
  return file == INVALID_HANDLE_VALUE ? "" : path;
}

inline HKEY CreateUserKey(const std::string& path) {
  HKEY key = nullptr;
  RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                  nullptr);
  return key;
}

// Writes data exactly as given (no terminator added) under HKEY_CURRENT_USER\path.
inline bool SetUserValueBytes(const std::string& path, const std::string& name, DWORD type,
                              const std::string& data) {
  HKEY key = CreateUserKey(path);
  if (key == nullptr) return false;
  const LONG rc =
      RegSetValueExA(key, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(data.data()),
                     static_cast<DWORD>(data.size()));
  RegCloseKey(key);
  return rc == ERROR_SUCCESS;
}

inline bool SetUserValueWide(const std::string& path, const wchar_t* name,
                             const std::wstring& text) {
  HKEY key = CreateUserKey(path);
  if (key == nullptr) return false;
  const LONG rc = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                 static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
  return rc == ERROR_SUCCESS;
}

// Names given as UTF-8, handed to the wide calls: the key root\path (made when missing) and its
// value name set to text, stored as UTF-16 with its terminator.
inline bool SetTextExactly(HKEY root, const std::string& path, const std::string& name,
                           const std::string& text) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(root, Widen(path).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                      nullptr) != ERROR_SUCCESS)
    return false;
  const std::wstring data = Widen(text);
  const LONG rc = RegSetValueExW(key, Widen(name).c_str(), 0, REG_SZ,
                                 reinterpret_cast<const BYTE*>(data.c_str()),
                                 static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
  return rc == ERROR_SUCCESS;
}

// "type:text" of the value as the wide call reads it (UTF-8, NULs kept), or "missing".
inline std::string StoredExactly(HKEY root, const std::string& path, const std::string& name) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, Widen(path).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
    return "missing";
  DWORD type = 0, size = 0;
  const std::wstring wideName = Widen(name);
  LONG rc = RegQueryValueExW(key, wideName.c_str(), nullptr, &type, nullptr, &size);
  std::wstring data(size / sizeof(wchar_t), L'\0');
  if (rc == ERROR_SUCCESS)
    rc = RegQueryValueExW(key, wideName.c_str(), nullptr, &type,
                          reinterpret_cast<BYTE*>(data.data()), &size);
  RegCloseKey(key);
  return rc == ERROR_SUCCESS ? std::to_string(type) + ":" + Narrow(data) : "missing";
}

// An uninstall entry at root\path in a registry view (0, KEY_WOW64_64KEY or KEY_WOW64_32KEY):
// its "DisplayName" (none when display is null) and its "UninstallString" of the given type,
// names and texts UTF-8.
inline bool MakeUninstallEntry(HKEY root, const std::string& path, REGSAM view, const char* display,
                               const std::string& command, DWORD commandType = REG_SZ) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(root, Widen(path).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr,
                      &key, nullptr) != ERROR_SUCCESS)
    return false;
  const auto set = [key](const wchar_t* name, DWORD type, const std::string& text) {
    const std::wstring data = Widen(text);
    return RegSetValueExW(key, name, 0, type, reinterpret_cast<const BYTE*>(data.c_str()),
                          static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
  };
  LONG rc = ERROR_SUCCESS;
  if (display != nullptr) rc = set(L"DisplayName", REG_SZ, display);
  if (rc == ERROR_SUCCESS) rc = set(L"UninstallString", commandType, command);
  RegCloseKey(key);
  return rc == ERROR_SUCCESS;
}

inline bool KeyExistsIn(HKEY root, const std::string& path, REGSAM view = 0) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, Widen(path).c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS)
    return false;
  RegCloseKey(key);
  return true;
}

// The native name of HKEY_CURRENT_USER ("\Registry\User\S-1-5-..."), which link targets use.
inline std::wstring UserRegistryRoot() {
  using ToString = BOOL(WINAPI*)(PSID, LPWSTR*);
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return L"";
  alignas(8) BYTE buffer[256];
  DWORD size = 0;
  const bool ok = GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size) != FALSE;
  CloseHandle(token);
  auto toString = reinterpret_cast<ToString>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("advapi32.dll"), "ConvertSidToStringSidW")));
  LPWSTR sid = nullptr;
  if (!ok || toString == nullptr ||
      !toString(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &sid))
    return L"";
  std::wstring root = L"\\Registry\\User\\" + std::wstring(sid);
  LocalFree(sid);
  return root;
}

// Makes HKEY_CURRENT_USER\linkPath a registry link to HKEY_CURRENT_USER\targetPath.
inline bool MakeUserLink(const std::wstring& linkPath, const std::wstring& targetPath) {
  HKEY link = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, linkPath.c_str(), 0, nullptr, REG_OPTION_CREATE_LINK,
                      KEY_ALL_ACCESS | KEY_CREATE_LINK, nullptr, &link, nullptr) != ERROR_SUCCESS)
    return false;
  const std::wstring target = UserRegistryRoot() + L"\\" + targetPath;
  const LONG rc = RegSetValueExW(link, L"SymbolicLinkValue", 0, REG_LINK,
                                 reinterpret_cast<const BYTE*>(target.c_str()),
                                 static_cast<DWORD>(target.size() * sizeof(wchar_t)));
  RegCloseKey(link);
  return rc == ERROR_SUCCESS;
}

// Deletes the link key itself (deleting it by name would follow it and delete its target).
inline void DeleteUserLink(const std::wstring& linkPath) {
  using NtDeleteKey = LONG(WINAPI*)(HANDLE);
  auto deleteKey = reinterpret_cast<NtDeleteKey>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtDeleteKey")));
  HKEY link = nullptr;
  if (deleteKey != nullptr &&
      RegOpenKeyExW(HKEY_CURRENT_USER, linkPath.c_str(), REG_OPTION_OPEN_LINK, DELETE | KEY_READ,
                    &link) == ERROR_SUCCESS) {
    deleteKey(link);
    RegCloseKey(link);
  }
}

}  // namespace morvane
