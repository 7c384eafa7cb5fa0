#include "design/windows_design.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/piece_series.h"

namespace tessarel {
namespace {

constexpr FontDesign kNone{};
constexpr FontDesign B825{Face::kBookman, 8.25, 300};
constexpr FontDesign B825Demi{Face::kBookman, 8.25, 600};
constexpr FontDesign B9{Face::kBookman, 9, 300};
constexpr FontDesign B9Demi{Face::kBookman, 9, 600};
constexpr FontDesign B975{Face::kBookman, 9.75, 300};
constexpr FontDesign B975Demi{Face::kBookman, 9.75, 600};
constexpr FontDesign B12{Face::kBookman, 12, 300};
constexpr FontDesign Title{Face::kCalligraphy, 21.75, 700, true, true};

using K = ControlKind;

}  // namespace

// In the order the window is built; a container before what it holds. Lines give their two
// ends instead of a size.
const ControlDesign kMainControls[] = {
    {"fraControls", K::kFrame, "", "", 300, 3360, 3645, 495, 25, kNone, "Commands", "", 0, true,
     true, false},
    {"cmdExit", K::kButton, "fraControls", "E&xit", 2430, 60, 1185, 375, 28, B975Demi, "", "Exit",
     0, true, true, false},
    {"cmdHelp", K::kButton, "fraControls", "&Help", 1245, 60, 1185, 375, 27, B975Demi, "", "Help",
     0, true, true, false},
    {"cmdAbout", K::kButton, "fraControls", "&About", 60, 60, 1185, 375, 26, B975Demi, "", "About",
     0, true, true, false},
    // Not of the design: stands where Help stood in the bottom row while an operation runs.
    {"cmdCancel", K::kButton, "", "Cancel", 300 + 1245, 3360 + 60, 1185, 375, -1, B975Demi, "", "",
     0, false, true, false},
    {"pgbDone", K::kProgress, "", "", 75, 4080, 4305, 405, 24, kNone, "Progress", "", 0, true, true,
     false},
    {"cmdGo", K::kGoButton, "", "&Go!", 4515, 3240, 900, 1245, 11, B975Demi, "Go", "", 0, true,
     true, false},
    {"txtSize", K::kText, "", "Text3", 2340, 600, 885, 285, 20, kNone, "Piece size in bytes", "", 0,
     false, false, false},
    {"fraFiles", K::kFrame, "", "Files", 75, 2040, 5340, 1140, 16, B12, "Files", "", 0, true, true,
     false},
    {"txtSave", K::kText, "fraFiles", "", 780, 720, 3165, 330, 8, B9, "File to save", "", 0, true,
     true, false},
    {"txtOpen", K::kText, "fraFiles", "", 780, 270, 3165, 330, 7, B9, "File to open", "", 0, true,
     true, false},
    {"cmdSave", K::kButton, "fraFiles", "Sa&ve As...", 4065, 720, 1185, 330, 10, B9Demi, "", "", 0,
     true, true, false},
    {"cmdOpen", K::kButton, "fraFiles", "&Open...", 4065, 270, 1185, 330, 9, B9Demi, "", "", 0,
     true, true, false},
    {"Line2", K::kLine, "fraFiles", "", 30, 660, 5310, 660, -1, kNone, "", "", 0, true, true,
     false},
    {"optJoin", K::kOption, "", "&Join", 3450, 690, 1740, 270, 1, B975, "", "", 0, true, true,
     false},
    {"optSplit", K::kOption, "", "&Split", 75, 690, 1740, 270, 0, B975, "", "", 0, true, true,
     true},
    {"fraOptions", K::kFrame, "", "", 60, 825, 5340, 1140, 13, B975, "Piece size", "", 0, true,
     true, false},
    {"fraMultiply", K::kFrame, "fraOptions", "", 3870, 195, 1380, 435, 15, kNone, "Spinner step",
     "", 0, true, true, false},
    {"opt10", K::kOption, "fraMultiply", "10", 30, 150, 645, 225, 18, B825, "Step 10", "", 0, true,
     true, true},
    {"opt100", K::kOption, "fraMultiply", "100", 690, 150, 645, 225, 17, B825, "Step 100", "", 0,
     true, true, false},
    {"txtApprox", K::kText, "fraOptions", kDefaultPieceKilobytes, 1860, 300, 975, 330, 3, B825Demi,
     "Approximate piece size in kilobytes", "", 7, true, true, false},
    {"updSpinner", K::kSpinner, "fraOptions", "", 2865, 300, 195, 330, 4, kNone,
     "Change approximate piece size", "", 0, true, true, false},
    {"txtExact", K::kText, "fraOptions", "0", 1860, 750, 1545, 330, 6, B825Demi,
     "Exact piece size in bytes", "", 10, true, false, false},
    {"optExact", K::kOption, "fraOptions", "&Exact", 225, 750, 1635, 240, 5, B975, "", "", 0, true,
     true, false},
    {"optApprox", K::kOption, "fraOptions", "A&pproximate", 225, 300, 1635, 270, 2, B975, "", "", 0,
     true, true, true},
    {"lblKB", K::kLabel, "fraOptions", "KBytes", 3135, 330, 720, 285, 19, B975, "", "", 0, true,
     true, false},
    {"lblDispByte", K::kLabel, "fraOptions", "Bytes", 3945, 750, 585, 285, 14, B975, "", "", 0,
     true, true, false},
    {"Line1", K::kLine, "fraOptions", "", 0, 675, 5310, 675, -1, kNone, "", "", 0, true, true,
     false},
    {"anmFileCopy", K::kAnimation, "", "", 75, 3240, 3975, 735, 21, kNone, "Copy in progress", "",
     0, false, true, false},
    {"Line3", K::kLine, "", "", 4080, 3570, 4440, 3570, -1, kNone, "", "", 0, false, true, false},
    {"lblTotal", K::kLabel, "", "10", 4140, 3750, 210, 225, 23, B825, "Pieces in all", "", 0, false,
     true, false},
    {"lblDone", K::kLabel, "", "1", 4110, 3240, 105, 225, 22, B825, "Piece in work", "", 0, false,
     true, false},
    {"lblTitle", K::kTitle, "", "Tessarel Utility", 75, 30, 5340, 540, 12, Title, "", "", 0, true,
     true, false},
};
const int kMainControlCount = sizeof kMainControls / sizeof kMainControls[0];

// Tab indices of the design: the working controls first, the bottom row last.
const char* const kMainTabOrder[] = {
    "optSplit", "optJoin", "optApprox", "txtApprox", "updSpinner", "optExact",
    "txtExact", "txtOpen", "txtSave",   "cmdOpen",   "cmdSave",    "cmdGo",
    "opt100",   "opt10",   "cmdAbout",  "cmdHelp",   "cmdExit",
};
const int kMainTabOrderCount = sizeof kMainTabOrder / sizeof kMainTabOrder[0];

// The spinner reaches the largest file a series can hold, in kilobytes.
const int kSpinnerMaximum = static_cast<int>(kMaxSourceLength / 1024);

// A join takes no size; a split takes the approximate or the exact size, not both.
const EnableRule kEnableRules[] = {
    {"optApprox", {true, true, false}},  {"optExact", {true, true, false}},
    {"txtApprox", {true, false, false}}, {"updSpinner", {true, false, false}},
    {"opt10", {true, false, false}},     {"opt100", {true, false, false}},
    {"txtExact", {false, true, false}},
};
const int kEnableRuleCount = sizeof kEnableRules / sizeof kEnableRules[0];

const HelpTab kHelpTabs[kHelpPageCount] = {{"Over", "Overview"},
                                           {"How", "How to use Tessarel"},
                                           {"Safe", "Safety Features"},
                                           {"About", "About"}};

const HelpTopic kHelpTopics[kHelpTopicCount] = {
    {0, "Overview of Application", 25, 2600, true},
    {0, "Use of Application", 2500, 2600, false},
    {1, "How to Split a File", 25, 2150, true},
    {1, "How to Join a File", 2200, 2150, false},
    {1, "How to Use Other Controls", 4405, 2600, false},
    {2, "Error Handling", 25, 2600, true},
    {2, "Minimum Requirements", 2500, 2600, false},
    {3, "About Programmer", 25, 2600, true},
    {3, "Your Comments", 2500, 2600, false},
};

TwipsRect HelpPartPlace(HelpPart part, int topic, int cw, int ch) {
    // The frame stands 35 twips in from the sides and 450 below the selectors; the heading and
    // the text stand 25 in from the frame's side, and the text ends 35 above its foot, where its
    // scroll bar can still be reached.
    switch (part) {
        case HelpPart::kSelector:
            return {kHelpTopics[topic].selector_left, 150, kHelpTopics[topic].selector_width, 400};
        case HelpPart::kFrame:
            return {35, 450, cw - 70, ch - 450};
        case HelpPart::kHeading:
            return {35 + 25, 450 + 100, cw - 70 - 25, 500};
        case HelpPart::kText:
            break;
    }
    return {35 + 25, 450 + 600, cw - 70 - 25, ch - 450 - 600 - 35};
}

namespace {
constexpr FontDesign A9{Face::kBookman, 9, 300};
}  // namespace

const ControlDesign kAboutControls[] = {
    {"picIcon", K::kLabel, "", "", 240, 240, 540, 540, -1, kNone, "Tessarel icon", "", 0, true,
     true, false},
    {"lblTitle", K::kLabel, "", "Application Title", 1050, 240, 1815, 480, -1, A9, "", "", 0, true,
     true, false},
    {"lblVersion", K::kLabel, "", "Version", 1050, 780, 3885, 225, -1, A9, "", "", 0, true, true,
     false},
    {"lblDescription", K::kLabel, "", "App Description", 1050, 1125, 3885, 600, -1, A9, "", "", 0,
     true, true, false},
    {"lblComments", K::kLabel, "", "App Comment", 1050, 1800, 3885, 570, -1, A9, "", "", 0, true,
     true, false},
    {"lblName", K::kLabel, "", "The Tessarel developers", 3000, 240, 2565, 225, -1, A9, "", "", 0,
     true, true, false},
    {"Label1", K::kLabel, "", "Split and join, byte for byte", 2880, 465, 2805, 225, -1, A9, "", "",
     0, true, true, false},
    {"lblDisclaimer", K::kLabel, "", "Warning: ...", 255, 2625, 3870, 825, -1, A9, "", "", 0, true,
     true, false},
    {"cmdOK", K::kButton, "", "OK", 4245, 2625, 1260, 345, 0, kNone, "", "", 0, true, true, false},
    {"cmdSysInfo", K::kButton, "", "&System Info...", 4260, 3075, 1245, 345, 1, kNone, "", "", 0,
     true, true, false},
};
const int kAboutControlCount = sizeof kAboutControls / sizeof kAboutControls[0];

namespace {

// Relative luminance as WCAG 2 defines it.
double Luminance(uint32_t rgb) {
    auto channel = [](uint32_t v) {
        const double c = static_cast<double>(v & 0xFF) / 255.0;
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(rgb >> 16) + 0.7152 * channel(rgb >> 8) + 0.0722 * channel(rgb);
}

uint32_t Mix(uint32_t from, uint32_t to, double share) {
    uint32_t out = 0;
    for (int shift : {16, 8, 0}) {
        const double a = static_cast<double>((from >> shift) & 0xFF);
        const double b = static_cast<double>((to >> shift) & 0xFF);
        out |= static_cast<uint32_t>(std::lround(a + (b - a) * share)) << shift;
    }
    return out;
}

}  // namespace

double Contrast(uint32_t a, uint32_t b) {
    const double la = Luminance(a);
    const double lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

uint32_t ReadableOn(uint32_t wanted, uint32_t background) {
    constexpr double kEnough = 4.5;
    const uint32_t toward = Luminance(background) < 0.18 ? 0xFFFFFF : 0x000000;
    uint32_t colour = wanted;
    for (int step = 1; step <= 20 && Contrast(colour, background) < kEnough; ++step) {
        colour = Mix(wanted, toward, step / 20.0);
    }
    return colour;
}

bool LockedWhileOperating(const ControlDesign& c) {
    const bool takes_input = c.kind == ControlKind::kButton || c.kind == ControlKind::kGoButton ||
                             c.kind == ControlKind::kOption || c.kind == ControlKind::kText ||
                             c.kind == ControlKind::kSpinner;
    return takes_input && c.visible && std::strcmp(c.name, kOperatingControl) != 0;
}

bool SizesToText(const char* control) {
    const std::string name = control;
    return name == "lblDone" || name == "lblTotal";
}

std::string CounterName(const char* control, int64_t number) {
    const ControlDesign* c = FindControl(kMainControls, kMainControlCount, control);
    return std::string(c ? c->accessible : control) + ": " + std::to_string(number);
}

const ControlDesign* FindControl(const ControlDesign* table, int count, const char* name) {
    for (int i = 0; i < count; ++i) {
        if (std::strcmp(table[i].name, name) == 0) {
            return &table[i];
        }
    }
    return nullptr;
}

}  // namespace tessarel
