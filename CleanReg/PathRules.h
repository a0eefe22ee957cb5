// Text rules that read a registry string as a file path. Plain string work, no file system.
// Character positions count from 1, as the rest of the program's texts do.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace morvane {

// From the start up to and including the last '\' or ':'; empty when there is neither.
std::string DirectoryPart(const std::string& s);
// Everything after the last '\' or ':'; the whole text when there is neither.
std::string NamePart(const std::string& s);
// From the last '.' to the end, unless a '\' or ':' follows that dot; else empty.
std::string ExtensionPart(const std::string& s);
// 1-based position of the leftmost occurrence of needle in haystack; 0 when absent or empty.
std::size_t OccursIn(const std::string& needle, const std::string& haystack);
// Drops the first occurrence of c and everything after it.
std::string CutAt(const std::string& s, char c);

// Drops everything from the first occurrence of the name's extension part to the end.
std::string StripExtension(const std::string& name);
// Reads a registry text as a local file path, cutting off arguments (" -u", ",0", "!1", "%1",
// "^..."); true when it looks like a drive-rooted file name with an extension, and then the
// rebuilt path is written to rebuilt.
bool ResolveFilePath(const std::string& text, std::string& rebuilt);

// Whether the text holds '*' or '?': the file calls would take it as a pattern and could find
// some other file, so such a text cannot be judged by them.
bool HoldsWildcard(const std::string& text);
// The lengths of the text's prefixes that end before a blank, shortest first: a command line
// names its program by one of them ("C:\\Tools\\run.exe shell.dll,Entry" -> the length of
// "C:\\Tools\\run.exe"). A run of blanks gives one. The list ends before the first prefix that
// cannot name a file: one longer than the longest path, or holding a name (between backslashes)
// of more than 255 characters; both counted in UTF-16 units, as the file system counts them. So a
// long text of many words costs a bounded number of prefixes.
std::vector<std::size_t> ProgramPrefixLengths(const std::string& text);

// Replaces each %NAME% in text by the variable's value, as the system expands a path. NAME
// begins with a letter or '_' and holds no blank, '%', '\\' or double quote; any other '%'
// (a command line's "%1", a lone '%') stays as it is. False when a NAME is not defined: the
// text then names nothing that can be judged.
bool ExpandVariables(const std::string& text,
                     const std::function<std::optional<std::string>(const std::string&)>& variable,
                     std::string& expanded);
// The folder that holds the file or folder a plain path names ("C:\\a\\b.exe" -> "C:\\a",
// "C:\\a" -> "C:\\"): nothing can exist there when that folder does not. Empty for a drive
// root, and for any path the system would read other than by its text: anything but a drive
// letter, ":\\" and names separated by single backslashes, such as "." or ".." names, names
// ending in a dot or a blank, forward slashes, wildcards, stream names or device prefixes.
std::string ParentFolder(const std::string& path);

}  // namespace morvane
