// What the design says of the program's three windows, as data every front end reads (the Qt
// windows on Linux, the Win32 ones on Windows): the controls with their captions, places in
// twips, fonts, tab order and accessible names; which controls each mode and size choice
// enables; the Help window's tabs and topics; the About window's labels. No front end repeats
// any of it in code.
#pragma once

#include <cstdint>
#include <string>

namespace tessarel {

enum class ControlKind {
    kFrame,      // a group of controls; the ones after it with it as parent are inside it
    kButton,     // a command button
    kGoButton,   // the command button with its picture above its caption
    kOption,     // an option (radio) button; each parent's options form one group
    kText,       // a one-line text field
    kLabel,      // a caption
    kTitle,      // the window's title: centred, blue, the script face
    kLine,       // a line from (left, top) to (width, height): the two ends
    kProgress,   // the progress bar
    kSpinner,    // the up-down control of the text field it follows
    kAnimation,  // the clip
};

enum class Face { kDefault, kBookman, kCalligraphy, kSans };

struct FontDesign {
    Face face = Face::kDefault;
    double points = 0;
    int weight = 400;
    bool italic = false;
    bool underline = false;
};

struct ControlDesign {
    const char* name;
    ControlKind kind;
    const char* parent;            // the container's name; "" for the window itself
    const char* caption;           // "&" marks the access key
    int left, top, width, height;  // twips, in the parent's frame
    int tab_index;                 // the design's tab index; -1 for none
    FontDesign font;
    const char* accessible;  // the name a screen reader says; empty: the caption's
    const char* tooltip;
    int max_length;  // of a text field; 0 for none
    bool visible;
    bool enabled;
    bool checked;  // an option chosen at start
};

// The main window.
constexpr const char* kMainCaption = "Tessarel";
constexpr int kMainClientWidth = 5520;  // twips
constexpr int kMainClientHeight = 4560;
extern const ControlDesign kMainControls[];
extern const int kMainControlCount;
// The controls Tab walks through, in order (the chosen option of each group only).
extern const char* const kMainTabOrder[];
extern const int kMainTabOrderCount;
// The size fields' menu, which adds the media sizes to the field's own items.
constexpr const char* kSizeMenuName = "Piece sizes";

// The size fields' menu's choice of recovery pieces for a split: its submenu's caption, and
// each item's caption and the count it asks for ("" none, "N", or "N%" of the pieces).
constexpr const char* kRecoveryMenuCaption = "Reco&very pieces";
struct RecoveryChoice {
    const char* caption;
    const char* count;
};
constexpr RecoveryChoice kRecoveryChoices[] = {
    {"&None", ""}, {"&1", "1"}, {"&2", "2"}, {"&5", "5"}, {"10 &% of the pieces", "10%"}};
constexpr int kRecoveryChoiceCount = 5;
// The same menu's choice of plain numbered pieces for a split (NAME.001, ..., no header): a
// check item that holds for every split until chosen again.
constexpr const char* kNumberedPiecesCaption = "Plain &numbered pieces (.001, .002, ...)";
// The Approximate entry's spinner: its range and its two steps.
constexpr int kSpinnerMinimum = 0;
extern const int kSpinnerMaximum;
constexpr int kSpinnerSteps[2] = {10, 100};

// While a request runs the window takes no input but Cancel's, however it comes (the mouse, the
// keyboard, a screen reader's action): every control that takes input is disabled meanwhile,
// but the one named here.
constexpr const char* kOperatingControl = "cmdCancel";
// True for a control the window disables while a request runs.
bool LockedWhileOperating(const ControlDesign& control);

// What a screen reader says of a counter of the fraction: its name and its number ("Piece in
// work: 3").
std::string CounterName(const char* control, int64_t number);

// The fraction's counters take the width their digits need ("100" as much as "1").
bool SizesToText(const char* control);

// Which size and mode controls may be used, for each choice.
enum class ModeChoice { kSplitApproximate, kSplitExact, kJoin };
struct EnableRule {
    const char* control;
    bool enabled[3];  // in the order of ModeChoice
};
extern const EnableRule kEnableRules[];
extern const int kEnableRuleCount;

// What a screen reader calls the spinner's two arrows, where they are objects of their own.
constexpr const char* kSpinnerUpName = "Up";
constexpr const char* kSpinnerDownName = "Down";

// The copy animation's clip, looked for in the program's data folders.
constexpr const char* kClipFile = "filedisk.avi";

// The Help window.
constexpr const char* kHelpCaption = "Tessarel Help";
constexpr int kHelpClientWidth = 7155;
constexpr int kHelpClientHeight = 5610;
constexpr int kHelpPageCount = 4;
constexpr int kHelpTopicCount = 9;
struct HelpTab {
    const char* key;
    const char* caption;
};
extern const HelpTab kHelpTabs[kHelpPageCount];
struct HelpTopic {
    int page;
    const char* heading;
    int selector_left;  // twips
    int selector_width;
    bool on_at_start;
};
extern const HelpTopic kHelpTopics[kHelpTopicCount];
// The topic's text; lines end with "\n", bullets start with the middle dot.
const char* HelpText(int topic);
constexpr FontDesign kHelpHeadingFont{Face::kBookman, 15.75, 600};
constexpr FontDesign kHelpTextFont{Face::kSans, 9.75, 700};
constexpr FontDesign kHelpSelectorFont{Face::kSans, 8.25, 700};
constexpr uint32_t kHelpHeadingBackground = 0xFFFFC0;  // light yellow, as RGB
constexpr uint32_t kHelpHeadingText = 0x000000;        // always with that yellow
// What a screen reader calls the tab strip.
constexpr const char* kHelpTabsName = "Help topics";
// Where a topic's parts lie, in twips of the tab strip's client area (width cw, height ch): the
// selector on its page, the frame of the topic, its heading and its text within that frame.
enum class HelpPart { kSelector, kFrame, kHeading, kText };
struct TwipsRect {
    int left, top, width, height;
};
TwipsRect HelpPartPlace(HelpPart part, int topic, int cw, int ch);

// The About window; its caption until it is loaded, when it names the program.
constexpr const char* kAboutCaption = "About MyApp";
constexpr int kAboutClientWidth = 5730;
constexpr int kAboutClientHeight = 3555;
// The etched rule between the texts and the buttons: from (left, top) to right, in twips.
constexpr int kAboutRuleLeft = 90;
constexpr int kAboutRuleTop = 2445;
constexpr int kAboutRuleRight = 5654;
extern const ControlDesign kAboutControls[];
extern const int kAboutControlCount;

// Colours the design fixes, as RGB. On a background of the theme's they are made readable on it
// (lighter on a dark one) rather than kept exactly.
constexpr uint32_t kTitleColour = 0x0000FF;
constexpr uint32_t kAboutTextColour = 0x000000;

// The contrast of two colours (RGB), from 1 (the same) to 21 (black on white), as WCAG 2 reckons
// it.
double Contrast(uint32_t a, uint32_t b);
// A colour the design fixes for a text, as readable on background: itself when it stands out
// from it enough (4.5 to 1), else mixed with white on a dark background, or with black on a light
// one, until it does.
uint32_t ReadableOn(uint32_t wanted, uint32_t background);

// Looks a control of a table up by name; null when there is none.
const ControlDesign* FindControl(const ControlDesign* table, int count, const char* name);

}  // namespace tessarel
