#pragma once

namespace mv {

// Registers the window kit's pictures (button strips, program icon). Called by every window
// that shows one.
void InitWindowResources();

}  // namespace mv
