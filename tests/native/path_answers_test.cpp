// What the file system's answers mean: the error codes of an attributes query, and the long-path
// form of the wide calls.
#include <gtest/gtest.h>

#include "platform/FileSystem.h"

namespace morvane {
namespace {

TEST(PathKindOf, OnlyNotFoundIsMissing) {
  const struct {
    long error;
    std::uint32_t attributes;
    PathKind kind;
  } cases[] = {
      {0, 0x20, PathKind::File},  // FILE_ATTRIBUTE_ARCHIVE
      {0, 0x80, PathKind::File},  // FILE_ATTRIBUTE_NORMAL
      {0, 0x10, PathKind::Folder},
      {0, 0x410, PathKind::Folder},           // a folder that is a reparse point
      {2, 0xFFFFFFFF, PathKind::Missing},     // ERROR_FILE_NOT_FOUND
      {3, 0xFFFFFFFF, PathKind::Missing},     // ERROR_PATH_NOT_FOUND
      {5, 0xFFFFFFFF, PathKind::Unknown},     // ERROR_ACCESS_DENIED
      {32, 0xFFFFFFFF, PathKind::Unknown},    // ERROR_SHARING_VIOLATION
      {21, 0xFFFFFFFF, PathKind::Unknown},    // ERROR_NOT_READY
      {53, 0xFFFFFFFF, PathKind::Unknown},    // ERROR_BAD_NETPATH
      {67, 0xFFFFFFFF, PathKind::Unknown},    // ERROR_BAD_NET_NAME
      {123, 0xFFFFFFFF, PathKind::Unknown},   // ERROR_INVALID_NAME
      {161, 0xFFFFFFFF, PathKind::Unknown},   // ERROR_BAD_PATHNAME
      {206, 0xFFFFFFFF, PathKind::Unknown},   // ERROR_FILENAME_EXCED_RANGE
      {1920, 0xFFFFFFFF, PathKind::Unknown},  // ERROR_CANT_ACCESS_FILE
  };
  for (const auto& c : cases) EXPECT_EQ(PathKindOf(c.error, c.attributes), c.kind) << c.error;
}

TEST(LongPathForm, DrivesAndNetworkPathsOnly) {
  const std::pair<std::wstring, std::wstring> cases[] = {
      {L"C:\\a\\b.txt", L"\\\\?\\C:\\a\\b.txt"},
      {L"z:\\", L"\\\\?\\z:\\"},
      {L"\\\\server\\share\\a.txt", L"\\\\?\\UNC\\server\\share\\a.txt"},
      {L"\\\\?\\C:\\a.txt", L"\\\\?\\C:\\a.txt"},  // already in that form
      // No long-path form: relative, drive-relative, device and other texts.
      {L"a\\b.txt", L""},
      {L"C:a.txt", L""},
      {L"\\a.txt", L""},
      {L"\\\\.\\COM1", L""},
      {L"\\\\", L""},
      {L"1:\\a", L""},
      {L"", L""},
  };
  for (const auto& [path, form] : cases) EXPECT_EQ(LongPathForm(path), form);
}

}  // namespace
}  // namespace morvane
