// Drives a real TMainForm in-process: pumps its messages, presses its buttons and tabs with
// mouse messages, and types its shortcuts through its accelerator table.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "MainFrm/MainFrm.h"

namespace morvane::testing {

struct ShownMessage {
  std::string text, caption;
  UINT flags;
};

inline void PrintTo(const ProgramStart& start, std::ostream* out) {
  *out << start.program << " with " << start.commandLine;
}

struct ShellCall {
  HWND owner;
  std::string target;
  bool operator==(const ShellCall& other) const {
    return owner == other.owner && target == other.target;
  }
};
inline void PrintTo(const ShellCall& call, std::ostream* out) {
  *out << call.owner << " opens " << call.target;
}

struct ShellStart {
  void* owner;
  std::string program, parameters;
  bool operator==(const ShellStart& other) const {
    return owner == other.owner && program == other.program && parameters == other.parameters;
  }
};
inline void PrintTo(const ShellStart& start, std::ostream* out) {
  *out << start.owner << " starts " << start.program << " with " << start.parameters;
}

// Services that record instead of showing dialogs, starting programs or opening documents. The
// process is elevated and every start succeeds, as under Wine, unless a test says otherwise.
struct RecordedServices final : ProcessApi {
  std::vector<ShownMessage> messages;
  std::vector<ProgramStart> started;
  std::vector<ShellStart> shellStarted;
  std::vector<ShellCall> opened;
  // What a start and a start through the shell answer.
  std::function<long(const ProgramStart&)> createAnswer = [](const ProgramStart&) { return 0L; };
  long shellAnswer = 0;
  bool elevated = true;
  int answer = IDOK;
  // Runs while a message box would be open, before it is answered.
  std::function<void(const ShownMessage&)> whileShown;
  std::function<bool(TSaveDialog&)> saveDialog = [](TSaveDialog&) { return false; };
  std::function<bool(TOpenDialog&)> openDialog = [](TOpenDialog&) { return false; };
  TMainFormServices Make(RegistryApi* registry = nullptr, FileSystem* files = nullptr);

  long CreateProgram(const std::string& program, const std::string& commandLine) override {
    started.push_back({program, commandLine});
    return createAnswer(started.back());
  }
  long ShellStartProgram(void* owner, const std::string& program,
                         const std::string& parameters) override {
    shellStarted.push_back({owner, program, parameters});
    return shellAnswer;
  }
  bool Elevated() override { return elevated; }
};

// What Regedit starts: regedit.exe in this system's Windows folder, by its full path.
ProgramStart RegistryEditor();

// Lets the form's messages run until pred holds or the timeout passes; returns pred().
bool PumpUntil(TMainForm& form, const std::function<bool()>& pred,
               std::chrono::milliseconds timeout = std::chrono::milliseconds(10000));
void Pump(TMainForm& form, int milliseconds = 30);
// The same for the windows of this thread without a form (no accelerators).
bool PumpUntil(const std::function<bool()>& pred,
               std::chrono::milliseconds timeout = std::chrono::milliseconds(10000));
// Runs the messages waiting in this thread's queue, and those they post in turn.
void Settle();

// A left click at a point of a window's client area, or in its middle, as mouse messages.
void ClickAt(TMainForm& form, HWND hwnd, int x, int y);
void ClickWindow(TMainForm& form, HWND hwnd);
// A left click on the tab that shows page (by its caption); false when no tab shows it.
bool ClickTab(TMainForm& form, const std::string& caption);
// A key posted to the focused window with Ctrl and Shift held as asked; with a form, to the form
// when the focus is outside it, and through the form's accelerators.
void PressKey(UINT key, bool ctrl = false, bool shift = false, TMainForm* form = nullptr);
inline void PressShortcut(TMainForm& form, UINT key, bool ctrl) {
  PressKey(key, ctrl, false, &form);
}
// A character as the keyboard gives it to a wide window (with Alt: WM_SYSCHAR).
void TypeChar(HWND target, wchar_t c, bool alt);
// Pointer messages as the system sends them: to the capture, else to the window under the point
// (given in the button's client coordinates). Leave tells the button the pointer has gone.
void MoveTo(TZelCustomButton& button, int x, int y);
void MoveToCentre(TZelCustomButton& button);
void Leave(TZelCustomButton& button);
void LeftDown(TZelCustomButton& button, int x, int y);
void LeftUp(TZelCustomButton& button, int x, int y);

// Texts as the controls give them to any reader, asked for in UTF-16 (the W messages) and
// given back as UTF-8: the tab labels, a cell of a list view, the items of a list box, and a
// window's text (the status line's, a caption).
std::vector<std::string> TabCaptions(TMainForm& form);
std::string ListViewText(HWND list, int row, int column);
std::vector<std::string> ListBoxTexts(HWND list);
std::string WindowText(HWND hwnd);
bool ListViewChecked(HWND list, int row);
int ListViewRows(HWND list);
bool Visible(TZelButton& button);
// A button's client object as assistive programs read it, through AccessibleObjectFromWindow;
// with press, its default action is done as well, and pressed is the answer.
struct ReadButton {
  std::string name, defaultAction;
  LONG role = 0, state = 0;
  HRESULT pressed = S_OK;
};
ReadButton ReadThroughAccessibility(TZelButton& button, bool press = false);

// A point on a row's check box in a list view.
POINT CheckBoxOf(HWND list, int row);
// A file named in UTF-8, written through the wide calls (ReadNamedFile, in system_fixtures.h,
// reads one back).
void WriteNamedFile(const std::string& name, const std::string& content);

// A folder BkŁukasz in TEMP for a backup and, beside it, BkLukasz with a kopia.reg of its own:
// the name a best-fit spelling makes of the first, holding a file that must stay as it is. Both
// go with the object.
class BackupFolders {
 public:
  BackupFolders();
  ~BackupFolders();
  BackupFolders(const BackupFolders&) = delete;
  BackupFolders& operator=(const BackupFolders&) = delete;
  std::string Backup() const { return folder_ + "\\kopia.reg"; }
  std::string Twin() const { return twinFolder_ + "\\kopia.reg"; }

 private:
  void Remove();
  std::string folder_, twinFolder_;
};

// Pixels as the window shows them now, read back from its device context.
COLORREF PixelAt(HWND hwnd, int x, int y);
int CountColour(HWND hwnd, const RECT& r, COLORREF colour);
// The whole client area at once; BoxOf is the bounding box of one colour (empty when none).
struct Pixels {
  int width = 0, height = 0;
  std::vector<COLORREF> data;
  COLORREF At(int x, int y) const { return data[static_cast<std::size_t>(y) * width + x]; }
  RECT BoxOf(COLORREF colour) const;
  int Count(COLORREF colour) const;
};
Pixels Grab(HWND hwnd);

}  // namespace morvane::testing
