// The pictures and help texts live in the UI library's resources; a static library must ask
// for them to be registered before first use.
#pragma once

#include <QIcon>

namespace tessarel {

void EnsureResources();

// A window icon that shows nothing: a dialog without one would show its owner's.
QIcon NoWindowIcon();

}  // namespace tessarel
