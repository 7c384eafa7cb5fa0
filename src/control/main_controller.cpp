#include "control/main_controller.h"

#include <algorithm>
#include <chrono>

#include "control/get_file.h"
#include "control/go_form.h"
#include "control/media_sizes.h"
#include "control/messages.h"
#include "control/open_file.h"
#include "design/windows_design.h"
#include "platform/conversions.h"
#include "platform/path.h"
#include "platform/runtime_error.h"

namespace tessarel {
namespace {

// The window's fields as a request is read from them, through the front end.
class ViewForm : public GoForm {
  public:
    ViewForm(MainView& view, const std::string& folder) : view_(view), folder_(folder) {}
    std::string OpenText() const override { return view_.Text("txtOpen"); }
    std::string SaveText() const override { return view_.Text("txtSave"); }
    bool SplitSelected() const override { return view_.Checked("optSplit"); }
    bool ExactSelected() const override { return view_.Checked("optExact"); }
    std::string ApproxText() const override { return view_.Text("txtApprox"); }
    std::string ExactText() const override { return view_.Text("txtExact"); }
    std::string Folder() const override { return folder_; }

  private:
    MainView& view_;
    const std::string& folder_;
};

// The controls the operating state shows, and hides, in the design's order.
const char* const kOperatingShows[] = {"lblDone", "Line3", "lblTotal", "anmFileCopy", "cmdCancel"};
const char* const kOperatingHides[] = {"fraControls"};

}  // namespace

double SecondsNow() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

MainController::MainController(MainView& view, MessageBox& box, UiThread& ui, FileDialog& dialog,
                               std::string start_folder)
    : view_(view),
      box_(box),
      ui_(ui),
      dialog_(&dialog),
      start_folder_(std::move(start_folder)),
      operation_(ui, *this, operation_box_, [this](bool done) { RequestEnded(done); }) {}

MainController::~MainController() = default;

void MainController::Load() {
    // The program's own folder is the current one, as the window has always had it; the clip
    // is the first one found (without one the window goes on, unanimated).
    MakeCurrent(ProgramFolder());
    for (const std::string& folder : DataFolders()) {
        if (view_.OpenClip(JoinPath(folder, kClipFile))) {
            break;
        }
    }
    for (const char* hidden : kOperatingShows) {
        view_.SetVisible(hidden, false);
    }
    for (const char* shown : kOperatingHides) {
        view_.SetVisible(shown, true);
    }
    ApplyEnableRules();
}

void MainController::Shown() {
    view_.Focus(view_.Checked("optJoin") ? "optJoin" : "optSplit");
}

void MainController::EndAsked() {
    if (!operating()) {
        view_.PlayClip(false);
        view_.Close();
        return;
    }
    close_when_ended_ = true;
    // A question of the operation's own that is up takes the stop as its answer.
    if (operation_.PauseToAsk()) {
        operation_.Stop();
    } else {
        box_.CancelShown();
    }
}

void MainController::Clicked(const std::string& name) {
    if (operating() && name != kOperatingControl) {
        return;  // however it was pressed, only Cancel works while a request runs
    }
    if (name == "cmdGo") {
        // Go runs from the loop, not inside the click: whoever pressed it (a screen reader's
        // press too) gets its answer at once. A second press before the request has started
        // is the same request.
        if (!go_pending_) {
            go_pending_ = true;
            ui_.Post([this] { Go(); });
        }
    } else if (name == "cmdCancel") {
        StopAsked();
    } else if (name == "cmdExit") {
        if (CloseAsked()) {
            view_.Close();
        }
    } else if (name == "cmdAbout") {
        view_.ShowAbout();
    } else if (name == "cmdHelp") {
        view_.ShowHelp();
    } else if (name == "cmdOpen" || name == "cmdSave") {
        ChooseFile(name == "cmdOpen");
    } else if (name.rfind("opt", 0) == 0) {
        view_.Check(name.c_str());  // its Click follows from the front end
    }
}

void MainController::OptionChosen(const std::string& name) {
    if (name == "optSplit" || name == "optJoin") {
        // A new mode starts with empty names.
        view_.SetText("txtOpen", "");
        view_.SetText("txtSave", "");
    } else if (name == "opt10" || name == "opt100") {
        view_.SetSpinnerStep(kSpinnerSteps[name == "opt10" ? 0 : 1]);
    }
    ApplyEnableRules();
}

void MainController::StopAsked() {
    if (!operating() || asking_to_stop_) {
        return;
    }
    // A question of the operation's own is up: the stop is its Cancel, and nothing else is
    // asked. Otherwise the copy waits at its next step while "Stop?" is up.
    if (!operation_.PauseToAsk()) {
        box_.CancelShown();
        return;
    }
    asking_to_stop_ = true;
    ShowTask(TaskProgress::kPaused);
    if (box_.Show(StopQuestion()) == kAnswerYes) {
        operation_.Stop();
    } else {
        ShowTask(TaskProgress::kRunning);
        operation_.Resume();
    }
    asking_to_stop_ = false;
}

bool MainController::CloseAsked() {
    if (operating()) {
        StopAsked();  // the close box stops the request, as Cancel does; the window stays
        return false;
    }
    if (box_.Show(QuitQuestion()) != kAnswerYes) {
        return false;
    }
    view_.PlayClip(false);
    return true;
}

bool MainController::TakesKey(int character) {
    constexpr int kBackspace = 8;
    if (character == kBackspace ||
        (character > 0 && character < 128 && IsSizeText(std::string(1, char(character))))) {
        return true;
    }
    view_.Beep();
    return false;
}

bool MainController::TakesPaste(const std::string& text, size_t kept, size_t limit) {
    if (!text.empty() && IsSizeText(text) && kept + text.size() <= limit) {
        return true;
    }
    view_.Beep();
    return false;
}

std::vector<SizeMenuItem> MainController::SizeMenuItems() const {
    using Kind = SizeMenuItem::Kind;
    std::vector<SizeMenuItem> items{{Kind::kSeparator, ""}};
    for (int i = 0; i < kMediaSizeCount; ++i) {
        items.push_back({Kind::kMedium, kMediaSizes[i].caption, i});
    }
    items.push_back({Kind::kSeparator, ""});
    items.push_back({Kind::kRecoveryMenu, kRecoveryMenuCaption});
    for (int i = 0; i < kRecoveryChoiceCount; ++i) {
        items.push_back(
            {Kind::kRecoveryChoice, kRecoveryChoices[i].caption, i, i == recovery_choice_});
    }
    items.push_back({Kind::kNumbered, kNumberedPiecesCaption, 0, numbered_});
    return items;
}

void MainController::SizeMenuChosen(const SizeMenuItem& item) {
    switch (item.kind) {
        case SizeMenuItem::Kind::kMedium:
            ChooseMediaSize(item.index);
            break;
        case SizeMenuItem::Kind::kRecoveryChoice:
            ChooseRecovery(item.index);
            break;
        case SizeMenuItem::Kind::kNumbered:
            ToggleNumbered();
            break;
        default:
            break;
    }
}

void MainController::EscapePressed() {
    Clicked(operating() ? kOperatingControl : "cmdExit");
}

std::string MainController::ReturnPresses() const {
    const std::string focused = view_.Focused();
    const ControlDesign* c = FindControl(kMainControls, kMainControlCount, focused.c_str());
    return c && (c->kind == ControlKind::kButton || c->kind == ControlKind::kGoButton) ? focused
                                                                                       : "cmdGo";
}

bool IsSizeText(const std::string& text) {
    return text.empty() || AllDigits(text);
}

std::string StartFolder(const std::string& current, const std::string& program_folder,
                        const std::string& documents) {
    const bool nowhere = current.empty() || current == "/" || current == program_folder;
    return nowhere && !documents.empty() ? documents : current;
}

void MainController::ChooseMediaSize(int index) {
    if (index < 0 || index >= kMediaSizeCount || operating()) {
        return;
    }
    view_.Check("optExact");
    view_.SetText("txtExact", std::to_string(kMediaSizes[index].bytes));
    ApplyEnableRules();
}

void MainController::ChooseRecovery(int index) {
    if (index >= 0 && index < kRecoveryChoiceCount && !operating()) {
        recovery_choice_ = index;
    }
}

void MainController::OpenFile(const std::string& path, bool split) {
    const FileProposal proposal = ProposeFor(AbsoluteIn(start_folder_, path), split);
    // Choosing the mode empties both names, so the mode comes first.
    view_.Check(proposal.mode == Mode::kJoin ? "optJoin" : "optSplit");
    ApplyEnableRules();
    view_.SetText("txtOpen", proposal.open);
    view_.SetText("txtSave", proposal.save);
}

void MainController::Dropped(const std::vector<std::string>& paths) {
    if (operating() || paths.empty()) {
        return;
    }
    if (const std::optional<Notice> refusal = CheckDropped(paths)) {
        // Said once the drop is over, so the program the files came from is not kept waiting.
        ui_.Post([this, notice = *refusal] { box_.Show(notice); });
        return;
    }
    OpenFile(paths.front());
}

void MainController::ChooseFile(bool open) {
    const char* field = open ? "txtOpen" : "txtSave";
    // The dialog starts where the field's name lies, else where the program was started.
    const std::string named = view_.Text(field);
    dialog_->folder = start_folder_;
    if (!named.empty()) {
        const std::string folder = FolderOf(AbsoluteIn(start_folder_, named));
        try {
            if (InfoOf(folder).kind == PathInfo::Kind::kFolder) {
                dialog_->folder = folder;
            }
        } catch (const RuntimeError&) {
            // A folder that cannot be looked at is no place to start in.
        }
    }
    const std::string chosen = GetFile(*dialog_, open ? FileRole::kOpen : FileRole::kSave,
                                       view_.Checked("optJoin") ? Mode::kJoin : Mode::kSplit);
    if (!chosen.empty()) {
        view_.SetText(field, chosen);
    }
}

void MainController::Go() {
    go_pending_ = false;
    if (operating()) {
        return;  // one request at a time, however Go was pressed
    }
    ViewForm form(view_, start_folder_);
    std::optional<Request> request = ReadGoForm(form, box_);
    if (!request) {
        ++go_requests_done_;
        return;
    }
    if (auto* split = std::get_if<SplitRequest>(&*request)) {
        // The hidden size field shows the bytes, as a number in a message is shown.
        view_.SetText("txtSize", StrWithSign(split->piece_size));
        split->recovery = *ParseRecoveryCount(kRecoveryChoices[recovery_choice_].count);
        split->numbered = numbered_;
        // Told on the operation's thread; the field is the window's.
        split->first_piece_settled = [this](const std::string& name) {
            ui_.Post([this, name] { view_.SetText("txtSave", name); });
        };
    }
    split_running_ = std::holds_alternative<SplitRequest>(*request);
    focus_before_ = view_.Focused();
    // Each request's bar starts empty.
    percent_ = 0;
    view_.SetProgress(0);
    ShowTask(TaskProgress::kRunning);
    LockInput(true);
    operation_.Start(std::move(*request));
}

void MainController::RequestEnded(bool done) {
    ShowTask(TaskProgress::kHidden);
    LockInput(false);
    if (!focus_before_.empty()) {
        view_.Focus(focus_before_.c_str());
    }
    if (done) {
        // Said to a screen reader, as a sighted user sees the bar at 100: no message box.
        view_.Announce("pgbDone",
                       DoneAnnouncement(split_running_, std::stoll("0" + view_.Text("lblTotal"))));
    }
    ++go_requests_done_;
    if (close_when_ended_) {
        view_.PlayClip(false);
        view_.Close();
    }
}

void MainController::LockInput(bool locked) {
    for (int i = 0; i < kMainControlCount; ++i) {
        const ControlDesign& c = kMainControls[i];
        if (LockedWhileOperating(c)) {
            view_.SetEnabled(c.name, !locked);
            if (c.kind == ControlKind::kText) {
                view_.SetLocked(c.name, locked);
            }
        }
    }
    if (!locked) {
        ApplyEnableRules();
    }
}

void MainController::ApplyEnableRules() {
    if (operating()) {
        return;  // the lock holds until the request ends
    }
    const ModeChoice now = view_.Checked("optJoin")    ? ModeChoice::kJoin
                           : view_.Checked("optExact") ? ModeChoice::kSplitExact
                                                       : ModeChoice::kSplitApproximate;
    for (int i = 0; i < kEnableRuleCount; ++i) {
        view_.SetEnabled(kEnableRules[i].control, kEnableRules[i].enabled[static_cast<int>(now)]);
    }
}

void MainController::ShowTotal(int64_t count) {
    view_.SetText("lblTotal", std::to_string(count));
    view_.Describe("lblTotal", CounterName("lblTotal", count));
}

void MainController::ShowOperating() {
    for (const char* shown : kOperatingShows) {
        view_.SetVisible(shown, true);
    }
    for (const char* hidden : kOperatingHides) {
        view_.SetVisible(hidden, false);
    }
    view_.Focus(kOperatingControl);
    view_.PlayClip(true);
    time_left_ = TimeLeft();
    started_ = SecondsNow();
}

void MainController::ShowPiece(int64_t k) {
    view_.SetText("lblDone", std::to_string(k));
    view_.Describe("lblDone", CounterName("lblDone", k));
    Describe();  // the bar's words name the same piece as the counter
    view_.Repaint();
}

void MainController::SetProgress(float percent) {
    percent_ = static_cast<int>(percent);
    view_.SetProgress(percent_);
    view_.ShowTaskProgress(task_, percent_);
}

void MainController::ShowTask(TaskProgress state) {
    task_ = state;
    view_.ShowTaskProgress(task_, percent_);
}

MsgAnswer MainController::OperationBox::Show(const Notice& notice) {
    const bool failed = notice.kind == MsgKind::kFailure || notice.kind == MsgKind::kDiskError ||
                        notice.kind == MsgKind::kErrorReport;
    const TaskProgress before = owner_.task_;
    owner_.ShowTask(failed ? TaskProgress::kFailed : TaskProgress::kPaused);
    const MsgAnswer answer = owner_.box_.Show(notice);
    if (!failed && owner_.operating()) {
        owner_.ShowTask(before);
    }
    return answer;
}

void MainController::ShowBytes(int64_t done, int64_t total) {
    time_left_.Update(done, total, SecondsNow() - started_);
    Describe();
}

void MainController::Describe() {
    if (!operating()) {
        return;
    }
    std::string text =
        std::string(reading_back_ ? "Reading back from the medium: piece " : "Piece ") +
        view_.Text("lblDone") + " of " + view_.Text("lblTotal") + ", " + std::to_string(percent_) +
        "%";
    if (!time_left_.Text().empty()) {
        text += ", " + time_left_.Text();
    }
    view_.Describe("pgbDone", text);
}

void MainController::ShowReadingBack(bool reading) {
    reading_back_ = reading;
    time_left_ = TimeLeft();
    started_ = SecondsNow();
    Describe();
}

void MainController::ShowIdle() {
    reading_back_ = false;
    view_.PlayClip(false);
    for (const char* hidden : kOperatingShows) {
        view_.SetVisible(hidden, false);
    }
    for (const char* shown : kOperatingHides) {
        view_.SetVisible(shown, true);
    }
    view_.Describe("pgbDone", "");
}

}  // namespace tessarel
