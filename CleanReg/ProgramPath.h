// Which program a command line starts. Windows, handed a bare command line, looks for its
// program in the starting program's own folder and the current folder before the system's, and
// reads an unquoted path with spaces by trying its prefixes shortest first: a regedit.exe placed
// beside Morvane.exe, or a C:\Program.exe, would start instead of the program meant. Here the
// program is found by the rule below and then started by its full path, so that no search of
// the system's comes into play.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace morvane {

// A program to start by its full path, and the command line it is handed (its own path quoted
// first, then the arguments as they were written).
struct ProgramStart {
  std::string program;
  std::string commandLine;
  bool operator==(const ProgramStart& other) const {
    return program == other.program && commandLine == other.commandLine;
  }
};

// The folders a bare program name is looked up in, in this order.
struct ProgramFolders {
  std::string system;   // the system folder
  std::string windows;  // the Windows folder
};

// The folder and the name as one path (no second backslash after a folder that ends in one).
std::string JoinFolder(const std::string& folder, const std::string& name);

// The program named in folder, with its quoted path as the command line.
ProgramStart ProgramInFolder(const std::string& folder, const std::string& name);

// The program that commandLine names, or nothing when it names none that exists. Leading blanks
// are skipped. The program part is:
//  - for a line that begins with a quote, the text up to the next quote (or the end);
//  - otherwise the longest prefix of the line, ending before a blank or at the end, that names a
//    program (tried longest first: the whole line, then up to the last blank, and so on). A
//    shorter prefix is taken only when no longer one names an existing file.
// A program part names:
//  - when it is a bare name (no backslash, slash or colon): that file in the system folder,
//    else in the Windows folder; ".exe" is added to a name without a dot;
//  - when it is a full path (a drive and a backslash, or two backslashes): that file;
//  - anything else (a relative path): nothing, never a file of the current folder.
// The command line handed over is the program's path in quotes followed by the rest of the line.
std::optional<ProgramStart> ResolveCommand(
    const std::string& commandLine, const ProgramFolders& folders,
    const std::function<bool(const std::string&)>& fileExists);

}  // namespace morvane
