// The pictures and help texts live in the UI library's resources; a static library must ask
// for them to be registered before first use.
#pragma once

namespace tessarel {

void EnsureResources();

}  // namespace tessarel
