#include "app/driver/progress.h"

#include "runtime/env.h"
#include "ui/control.h"

namespace px {

void Progress::Redisplay() {
  if (field != nullptr && field->alive()) field->Refresh();
}

bool ProgressPacer::Due() {
  const int64_t now = GetEnv()->NowMicros();
  if (started_ && now - last_ < interval_) return false;
  started_ = true;
  last_ = now;
  return true;
}

}  // namespace px
