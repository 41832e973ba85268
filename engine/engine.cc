#include "engine/engine.h"

namespace px {

void InitEngine() {
  static bool done = false;
  if (done) return;
  done = true;
}

}  // namespace px
