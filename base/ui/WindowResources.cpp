#include "base/ui/WindowResources.h"

#include <QtGlobal>

// Q_INIT_RESOURCE names a global function, so it is called outside any namespace.
static void InitResources() {
  Q_INIT_RESOURCE(shell);
  Q_INIT_RESOURCE(panel);
}

namespace mv {

void InitWindowResources() {
  // The pictures are compiled into a static library, whose registration the linker would
  // otherwise drop; registering twice is harmless.
  static const bool done = (InitResources(), true);
  (void)done;
}

}  // namespace mv
