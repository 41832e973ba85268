#include "app/driver/open_by_alias.h"
#include "app/driver/recovery.h"
#include "app/driver/repairs.h"
#include "engine/workarea/commands.h"
#include "engine/workarea/registry.h"
#include "runtime/call_stack.h"

namespace px {

QuoteSerialCounter::~QuoteSerialCounter() {
  Release();
}

bool QuoteSerialCounter::Hold() {
  Release();
  const int selected = SELECT();
  if (OpenByAlias("sysinfo", false)) {
    area_ = SELECT();
    field_ = FIELDPOS("QUOSERIAL");
    if (field_ > 0 && !EOF_() && RECLOCK(5)) {
      value_ = FIELDGET(field_).integer();
      DBSELECTAREA(selected);
      return true;
    }
    DBCLOSEAREA();
    area_ = 0;
  }
  DBSELECTAREA(selected);
  return false;
}

bool QuoteSerialCounter::Set(int64_t value) {
  if (area_ == 0) return false;
  const int selected = SELECT();
  DBSELECTAREA(area_);
  FIELDPUT(field_, Value::Integer(value));
  const bool stored = FIELDGET(field_).integer() == value;
  DBCOMMIT();
  DBSELECTAREA(selected);
  if (stored) value_ = value;
  return stored;
}

void QuoteSerialCounter::Release() {
  if (area_ == 0) return;
  const int selected = SELECT();
  DBSELECTAREA(area_);
  DBUNLOCK();
  DBCLOSEAREA();
  DBSELECTAREA(selected);
  area_ = 0;
}

Value QUOSER() {
  CallStep step("QUOSER");
  const int area = SELECT();
  Value result = Value::Integer(0);
  RecoveryPoint([&] {
    QuoteSerialCounter counter;
    if (!counter.Hold()) BREAK();
    if (counter.Set(counter.value() + 1)) result = Value::Integer(counter.value());
  });
  DBSELECTAREA(area);
  return result;
}

}  // namespace px
