// Set-up helpers for tests on the real (Wine) registry and disk of the test prefix: files made,
// read and removed by their exact names, files in either view of the system folder, scratch keys,
// values written and read as exact bytes or wide text, keys and trees looked at and removed,
// registry links.
#pragma once

#include <windows.h>
#include <sddl.h>

#include <string>
#include <vector>

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
  const std::string path = WindowsFolder() + "\\system32\\" + name;
  PVOID state = nullptr;
  const bool off = native && Wow64DisableWow64FsRedirection(&state);
  HANDLE file = CreateFileW(Widen(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  if (off) Wow64RevertWow64FsRedirection(state);
  return file == INVALID_HANDLE_VALUE ? "" : path;
}

// A key opened (or made, when create) under root with access, closed when it goes.
struct OpenedKey {
  OpenedKey(HKEY root, const std::string& path, REGSAM access, bool create = false,
            DWORD options = 0) {
    const std::wstring wide = Widen(path);
    if ((create ? RegCreateKeyExW(root, wide.c_str(), 0, nullptr, options, access, nullptr, &key,
                                  nullptr)
                : RegOpenKeyExW(root, wide.c_str(), options, access, &key)) != ERROR_SUCCESS)
      key = nullptr;
  }
  ~OpenedKey() {
    if (key) RegCloseKey(key);
  }
  OpenedKey(const OpenedKey&) = delete;
  OpenedKey& operator=(const OpenedKey&) = delete;
  // Sets name to data, bytes as given; false when the key is not open or the write fails.
  bool Set(const std::string& name, DWORD type, const void* data, std::size_t size) const {
    return key && RegSetValueExW(key, Widen(name).c_str(), 0, type, static_cast<const BYTE*>(data),
                                 static_cast<DWORD>(size)) == ERROR_SUCCESS;
  }
  // Sets name to text as UTF-16 with its terminator.
  bool SetText(const std::string& name, const std::string& text, DWORD type = REG_SZ) const {
    const std::wstring data = Widen(text);
    return Set(name, type, data.c_str(), (data.size() + 1) * sizeof(wchar_t));
  }
  HKEY key = nullptr;
};

inline HKEY CreateUserKey(const std::string& path) {
  HKEY key = nullptr;
  RegCreateKeyExW(HKEY_CURRENT_USER, Widen(path).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                  &key, nullptr);
  return key;
}

// Writes data as given (no terminator added) under HKEY_CURRENT_USER\path, through the narrow
// call: a text is taken in the code page.
inline bool SetUserValueBytes(const std::string& path, const std::string& name, DWORD type,
                              const std::string& data) {
  const OpenedKey key(HKEY_CURRENT_USER, path, KEY_ALL_ACCESS, true);
  return key.key &&
         RegSetValueExA(key.key, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(data.data()),
                        static_cast<DWORD>(data.size())) == ERROR_SUCCESS;
}

// Names given as UTF-8, handed to the wide calls: the key root\path (made when missing) and its
// value name set to text, stored as UTF-16 with its terminator.
inline bool SetTextExactly(HKEY root, const std::string& path, const std::string& name,
                           const std::string& text) {
  return OpenedKey(root, path, KEY_ALL_ACCESS, true).SetText(name, text);
}

inline bool SetUserValueWide(const std::string& path, const wchar_t* name,
                             const std::wstring& text) {
  return SetTextExactly(HKEY_CURRENT_USER, path, Narrow(name), Narrow(text));
}

// "type:text" of the value as the wide call reads it (UTF-8, NULs kept), or "missing".
inline std::string StoredExactly(HKEY root, const std::string& path, const std::string& name) {
  const OpenedKey key(root, path, KEY_READ);
  DWORD type = 0, size = 0;
  const std::wstring wideName = Widen(name);
  if (!key.key || RegQueryValueExW(key.key, wideName.c_str(), nullptr, &type, nullptr, &size))
    return "missing";
  std::wstring data(size / sizeof(wchar_t), L'\0');
  if (RegQueryValueExW(key.key, wideName.c_str(), nullptr, &type,
                       reinterpret_cast<BYTE*>(data.data()), &size) != ERROR_SUCCESS)
    return "missing";
  return std::to_string(type) + ":" + Narrow(data);
}

// An uninstall entry at root\path in a registry view (0, KEY_WOW64_64KEY or KEY_WOW64_32KEY):
// its "DisplayName" (none when display is null) and its "UninstallString" of the given type,
// names and texts UTF-8.
inline bool MakeUninstallEntry(HKEY root, const std::string& path, REGSAM view, const char* display,
                               const std::string& command, DWORD commandType = REG_SZ) {
  const OpenedKey key(root, path, KEY_ALL_ACCESS | view, true);
  return key.key && (display == nullptr || key.SetText("DisplayName", display)) &&
         key.SetText("UninstallString", command, commandType);
}

inline bool KeyExistsIn(HKEY root, const std::string& path, REGSAM view = 0) {
  return OpenedKey(root, path, KEY_READ | view).key != nullptr;
}

// Whether root\path in a view holds a value of that name.
inline bool ValueExistsIn(HKEY root, const std::string& path, const std::string& name,
                          REGSAM view = 0) {
  const OpenedKey key(root, path, KEY_READ | view);
  return key.key && RegQueryValueExW(key.key, Widen(name).c_str(), nullptr, nullptr, nullptr,
                                     nullptr) == ERROR_SUCCESS;
}

// The names of root\path's subkeys, in the registry's order.
inline std::vector<std::string> SubkeysOf(HKEY root, const std::string& path) {
  std::vector<std::string> names;
  const OpenedKey key(root, path, KEY_READ);
  wchar_t name[256];
  for (DWORD i = 0, size = 256; key.key && RegEnumKeyExW(key.key, i, name, &size, nullptr, nullptr,
                                                         nullptr, nullptr) == ERROR_SUCCESS;
       ++i, size = 256)
    names.push_back(Narrow(std::wstring(name, size)));
  return names;
}

// Removes root\path in a view and everything below it (a link below it is followed: remove
// links first with DeleteUserLink).
inline void RemoveKeyTree(HKEY root, const std::string& path, REGSAM view = 0) {
  {
    const OpenedKey key(root, path, KEY_ALL_ACCESS | view);
    if (!key.key) return;
    RegDeleteTreeW(key.key, nullptr);
  }
  RegDeleteKeyExW(root, Widen(path).c_str(), view, 0);
}

// HKEY_CURRENT_USER\Software\MorvaneTest\<name>, made empty for a test; Software\MorvaneTest
// goes whole with it.
struct ScratchKey {
  explicit ScratchKey(const std::string& name) : path("Software\\MorvaneTest\\" + name) {
    RemoveKeyTree(HKEY_CURRENT_USER, path);
    OpenedKey(HKEY_CURRENT_USER, path, KEY_ALL_ACCESS, true);
  }
  ~ScratchKey() { RemoveKeyTree(HKEY_CURRENT_USER, "Software\\MorvaneTest"); }
  const std::string path;
};

// Makes HKEY_CURRENT_USER\linkPath a registry link to HKEY_CURRENT_USER\targetPath (the target
// named natively: "\Registry\User\<the user's SID>\...").
inline bool MakeUserLink(const std::wstring& linkPath, const std::wstring& targetPath) {
  HANDLE token = nullptr;
  alignas(8) BYTE user[256];
  DWORD size = 0;
  LPWSTR sid = nullptr;
  const bool named = OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token) &&
                     GetTokenInformation(token, TokenUser, user, sizeof user, &size) &&
                     ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user)->User.Sid, &sid);
  if (token) CloseHandle(token);
  if (!named) return false;
  const std::wstring target = L"\\Registry\\User\\" + std::wstring(sid) + L"\\" + targetPath;
  LocalFree(sid);
  const OpenedKey link(HKEY_CURRENT_USER, Narrow(linkPath), KEY_ALL_ACCESS | KEY_CREATE_LINK, true,
                       REG_OPTION_CREATE_LINK);
  return link.Set("SymbolicLinkValue", REG_LINK, target.c_str(), target.size() * sizeof(wchar_t));
}

// Deletes the link key itself (deleting it by name would follow it and delete its target).
inline void DeleteUserLink(const std::wstring& linkPath) {
  using NtDeleteKey = LONG(WINAPI*)(HANDLE);
  auto deleteKey = reinterpret_cast<NtDeleteKey>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtDeleteKey")));
  const OpenedKey link(HKEY_CURRENT_USER, Narrow(linkPath), DELETE | KEY_READ, false,
                       REG_OPTION_OPEN_LINK);
  if (deleteKey && link.key) deleteKey(link.key);
}

}  // namespace morvane
