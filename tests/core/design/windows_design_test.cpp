#include "design/windows_design.h"

#include <gtest/gtest.h>

#include <string>

namespace tessarel {
namespace {

// Two controls in one container never cover each other: the one drawn later would hide the
// other's edge (an option button once painted over a size box's border). Frames hold others,
// lines cross them and the clip's strip is wider than its picture, so only the controls a user
// reads or clicks count.
TEST(WindowsDesign, NoControlCoversAnotherInItsContainer) {
    const auto counts = [](const ControlDesign& c) {
        return c.kind != ControlKind::kFrame && c.kind != ControlKind::kLine &&
               c.kind != ControlKind::kAnimation;
    };
    const struct {
        const ControlDesign* controls;
        int count;
    } windows[] = {{kMainControls, kMainControlCount}, {kAboutControls, kAboutControlCount}};
    for (const auto& window : windows) {
        for (int i = 0; i < window.count; ++i) {
            const ControlDesign& a = window.controls[i];
            for (int j = i + 1; j < window.count; ++j) {
                const ControlDesign& b = window.controls[j];
                if (!counts(a) || !counts(b) || std::string(a.parent) != b.parent) {
                    continue;
                }
                const bool apart = a.left + a.width <= b.left || b.left + b.width <= a.left ||
                                   a.top + a.height <= b.top || b.top + b.height <= a.top;
                EXPECT_TRUE(apart) << a.name << " and " << b.name;
            }
        }
    }
}

}  // namespace
}  // namespace tessarel
