#include "platform/Process.h"

namespace morvane {

std::string ArgumentsOf(const std::string& program, const std::string& commandLine) {
  const std::string quoted = "\"" + program + "\"";
  const std::size_t start = commandLine.compare(0, quoted.size(), quoted) == 0 ? quoted.size() : 0;
  const std::size_t first = commandLine.find_first_not_of(" \t", start);
  return first == std::string::npos ? std::string() : commandLine.substr(first);
}

long StartProgram(ProcessApi& process, void* owner, const std::string& program,
                  const std::string& commandLine) {
  const long started = process.CreateProgram(program, commandLine);
  if (started != kErrorElevationRequired) return started;
  return process.ShellStartProgram(owner, program, ArgumentsOf(program, commandLine));
}

}  // namespace morvane
