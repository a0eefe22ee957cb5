#include "MainFrm/FilesPage.h"

#include <algorithm>
#include <chrono>

#include "MainFrm/MainFrm.h"
#include "platform/WideText.h"

namespace morvane {

// The collection's sink: files and closing lines go into ListBox1, and between files the
// window's messages run. A collection is abandoned as soon as another one is asked for, the page
// is left or the window goes.
//
// Looking for messages costs the system a round trip even when there are none, more than a small
// file costs the walk; so they run before the first file and then before the first file after
// each kTurnTime: a message waits no longer than that and one file.
//
// Every line added to a shown list box makes it update its scroll bar and repaint at the next
// turn of messages: painting would cost far more than the walk. So the files' lines wait and go
// into the list together, with its drawing held off, every kFlushTime and at the end; turning
// the drawing back on costs a repaint of the whole list, scroll bar and all, so not too often.
class TListBoxCollection final : public CollectionSink {
 public:
  explicit TListBoxCollection(TFilesPage& page) : page_(page), generation_(page.generation_) {}

  bool BetweenFiles() override {
    const auto now = Clock::now();
    if (now >= nextTurn_) {
      nextTurn_ = now + kTurnTime;
      if (!waiting_.empty() && now >= nextFlush_) Flush();
      page_.form_.RefreshApp();
    }
    return Current();
  }
  void AddFile(const ListedFile& file) override {
    if (waiting_.empty()) nextFlush_ = Clock::now() + kFlushTime;
    page_.listed_.push_back(file);
    waiting_.push_back(page_.listed_.size() - 1);
  }
  void AddLine(const std::string& line) override {
    Flush();
    Add(line);
  }
  // What is said of the folders goes on one status line, in the order said.
  void FolderRefused(const std::string& why) override {
    said_ += (said_.empty() ? "" : " ") + why;
    page_.form_.SetStatusText(said_);
  }
  // Only a lack of rights is worth a word: an administrator would be refused the same otherwise.
  void PrefetchRefused(long error) override {
    if (error == kFileAccessDenied && page_.form_.LacksRights())
      FolderRefused("Prefetch is not cleaned: administrator rights are needed.");
  }

  // Empties the list (and the listed files) before the walk. False when the collection was
  // abandoned meanwhile.
  bool EmptyList() {
    page_.EmptyList([this] { return Current(); });
    return Current();
  }

  bool Current() const {
    return !page_.closing_ && page_.generation_ == generation_ && page_.form_.Role() == kRoleFiles;
  }

 private:
  using Clock = std::chrono::steady_clock;
  static constexpr auto kTurnTime = TFilesPage::kTurnTime;
  static constexpr auto kFlushTime = std::chrono::milliseconds(200);

  void Add(const std::string& line) {
    SendMessageW(page_.form_.ListBox1, LB_ADDSTRING, 0,
                 reinterpret_cast<LPARAM>(Widen(line).c_str()));
  }
  void Flush() {
    if (waiting_.empty() || !Current()) return;
    HWND list = page_.form_.ListBox1;
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    for (std::size_t index : waiting_) Add(page_.listed_[index].Line());
    waiting_.clear();
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
  }

  TFilesPage& page_;
  const unsigned generation_;
  std::vector<std::size_t> waiting_;  // listed files whose lines are not in the list yet
  std::string said_;                  // the status line's sentences of this collection
  Clock::time_point nextFlush_;
  Clock::time_point nextTurn_ = Clock::time_point::min();
};

void TFilesPage::Show() {
  form_.ZelButton3->SetCaption("Clear");
  form_.ZelButton1->SetCaption("Refresh");
  form_.ZelButton1->SetEnabled(true);
  form_.ZelButton1->SetVisible(true);
  form_.ZelButton2->SetVisible(false);
  form_.ZelButton3->SetEnabled(false);
  form_.ZelButton4->SetVisible(false);
  form_.ZelButton1->Tag = kRoleFiles;
  form_.SetStatusText("");
  Collect();
}

void TFilesPage::Refresh() {
  if (clearing_ || form_.Restoring()) return;
  form_.SetOtherTabsVisible(kRoleFiles, false);
  // Clear must not run on a list that is still being filled.
  form_.ZelButton3->SetEnabled(false);
  Collect();
  form_.ZelButton1->SetEnabled(true);
}

void TFilesPage::Clear() {
  if (form_.ToolRunning()) return;  // a collection, a deletion, Correct or Restore
  // The deletion lets the window's messages run every few milliseconds; meanwhile the other
  // pages, Refresh and Clear wait, and a close request waits for the end.
  TMainForm::BusyScope busy(form_);
  clearing_ = true;
  form_.ZelButton1->SetEnabled(false);
  form_.ZelButton3->SetEnabled(false);
  form_.SetOtherTabsVisible(kRoleFiles, false);
  TMainForm::MessageTurns turns(form_);
  const ClearOutcome outcome = DeleteListedFiles(*form_.Services.Tree, listed_, [&] { turns(); });
  EmptyList([] { return true; });
  clearing_ = false;
  form_.ZelButton1->SetEnabled(true);
  form_.SetOtherTabsVisible(kRoleFiles, true);
  form_.SetStatusText("Files deleted: " + std::to_string(outcome.deleted) +
                      ". Could not be deleted: " + std::to_string(outcome.kept) + ".");
}

void TFilesPage::Closing() {
  closing_ = true;
  ++generation_;
}

// An owner-drawn list box tells its owner of every line it drops, which for a long list takes
// longer than a message may wait; so the lines go from the end, a slice each few milliseconds,
// with the messages running in between, for as long as going holds.
void TFilesPage::EmptyList(const std::function<bool()>& going) {
  using Clock = std::chrono::steady_clock;
  listed_.clear();
  HWND list = form_.ListBox1;
  LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
  if (count <= 0) return;
  SendMessageW(list, WM_SETREDRAW, FALSE, 0);
  while (count > 0 && going()) {
    const auto until = Clock::now() + kTurnTime;
    do SendMessageW(list, LB_DELETESTRING, static_cast<WPARAM>(--count), 0);
    while (count > 0 && Clock::now() < until);
    if (count > 0) form_.RefreshApp();
    // Messages may have changed the list meanwhile.
    count = std::min(count, SendMessageW(list, LB_GETCOUNT, 0, 0));
  }
  SendMessageW(list, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list, nullptr, TRUE);
}

void TFilesPage::Collect() {
  ++generation_;
  if (collecting_) {
    // The running walk sees the new generation at its next file and unwinds; the new
    // collection starts here, from the outermost call, when it has.
    again_ = true;
    return;
  }
  TMainForm::BusyScope busy(form_);
  collecting_ = true;
  do {
    again_ = false;
    RunCollection();
  } while (again_ && !closing_ && form_.Role() == kRoleFiles);
  collecting_ = false;
}

void TFilesPage::RunCollection() {
  TListBoxCollection sink(*this);
  if (!sink.EmptyList()) return;
  if (!FindUnnecessaryFiles(*form_.Services.Tree, *form_.Services.Folders, sink) || !sink.Current())
    return;
  form_.ZelButton1->SetEnabled(true);
  form_.ZelButton3->SetEnabled(true);
  form_.SetOtherTabsVisible(kRoleFiles, true);
}

}  // namespace morvane
