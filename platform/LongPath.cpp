#include "platform/FileSystem.h"

namespace morvane {

std::wstring LongPathForm(const std::wstring& fullPath) {
  static const std::wstring kPrefix = L"\\\\?\\";
  if (fullPath.compare(0, kPrefix.size(), kPrefix) == 0) return fullPath;
  const auto letter = [](wchar_t c) {
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
  };
  if (fullPath.size() >= 3 && letter(fullPath[0]) && fullPath[1] == L':' && fullPath[2] == L'\\')
    return kPrefix + fullPath;
  // "\\server\share\..." but not "\\.\device": the server's name must be there.
  if (fullPath.size() > 2 && fullPath[0] == L'\\' && fullPath[1] == L'\\' && fullPath[2] != L'\\' &&
      fullPath[2] != L'.' && fullPath[2] != L'?')
    return kPrefix + L"UNC\\" + fullPath.substr(2);
  return {};
}

}  // namespace morvane
