#include "bench/reg_query.h"

#include <windows.h>

#include <chrono>

#include "platform/WinHandles.h"

namespace morvane::bench {

ChildRun RegQueryRecursive(const std::string& key, const std::string& output) {
  ChildRun run;
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  FileHandle out(CreateFileA(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!out.valid()) return run;
  char system[MAX_PATH];
  GetSystemDirectoryA(system, MAX_PATH);
  std::string commandLine = "\"" + std::string(system) + "\\reg.exe\" query \"" + key + "\" /s";

  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = out.get();
  startup.hStdError = out.get();
  PROCESS_INFORMATION process{};
  const auto begin = std::chrono::steady_clock::now();
  if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                      nullptr, nullptr, &startup, &process))
    return run;
  KernelHandle processHandle(process.hProcess), threadHandle(process.hThread);
  WaitForSingleObject(process.hProcess, INFINITE);
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  run.exitCode = code;
  run.started = true;
  return run;
}

}  // namespace morvane::bench
