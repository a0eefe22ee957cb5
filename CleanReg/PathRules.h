// Text rules that read a registry string as a file path. Plain string work, no file system.
// Character positions count from 1, as the rest of the program's texts do.
#pragma once

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
// The text up to each of its blanks, shortest first: a command line names its program by one of
// them ("C:\Tools\run.exe shell.dll,Entry" -> "C:\Tools\run.exe"). A run of blanks gives one.
std::vector<std::string> ProgramPrefixes(const std::string& text);
// The folder that holds the file or folder a plain path names ("C:\\a\\b.exe" -> "C:\\a",
// "C:\\a" -> "C:\\"): nothing can exist there when that folder does not. Empty for a drive
// root, and for any path the system would read other than by its text: anything but a drive
// letter, ":\\" and names separated by single backslashes, such as "." or ".." names, names
// ending in a dot or a blank, forward slashes, wildcards, stream names or device prefixes.
std::string ParentFolder(const std::string& path);

}  // namespace morvane
