// The progress the desktop's launcher or task manager shows on the program's icon (KDE Plasma,
// Dock, Dash to Dock and others read it): the LauncherEntry signal on the session bus, sent
// only when what it says changes.
#pragma once

#include <QString>

#include "control/main_controller.h"

namespace tessarel {

// The name of the program's desktop entry (without ".desktop"), by which the desktop knows its
// windows and its icon.
constexpr char kDesktopId[] = "org.tessarel.Tessarel";

class LauncherEntry {
  public:
    explicit LauncherEntry(const QString& desktop_id);
    void Show(TaskProgress state, int percent);

  private:
    QString uri_;
    TaskProgress state_ = TaskProgress::kHidden;
    int percent_ = -1;
};

}  // namespace tessarel
