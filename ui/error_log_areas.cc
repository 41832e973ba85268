// The work-area part of the error log's figures.
#include "engine/workarea/registry.h"
#include "engine/workarea/work_area.h"
#include "ui/error_log.h"

namespace px {

namespace {

// Order information of an area; errors raised while asking are swallowed by the caller.
std::vector<AreaFacts::Order> GatherOrders(WorkArea* area) {
  std::vector<AreaFacts::Order> orders;
  Value count;
  if (!area->OrderInfo(9, Value(), Value(), &count) || !count.is_number()) return orders;
  Value controlling;
  area->OrderInfo(6, Value(), Value(), &controlling);
  const int64_t n = std::min<int64_t>(count.integer(), 15);
  for (int64_t i = 1; i <= n; ++i) {
    Value key, name;
    area->OrderInfo(2, Value::Integer(i), Value(), &key);
    area->OrderInfo(5, Value::Integer(i), Value(), &name);
    if (!key.is_string() || key.str().empty()) continue;
    orders.push_back({key.str(), name.is_string() ? name.str() : std::string(),
                      controlling.is_number() && controlling.integer() == i});
  }
  return orders;
}

}  // namespace

void GatherWorkAreaFacts(ErrorLogFacts* facts) {
  // The drivers the engine may register; the log lists those that are.
  for (const char* name : {"DBF", "DBFFPT", "DBFNTX", "DBFCDX", "SDF", "DELIM"}) {
    if (FindDriver(name) != nullptr) facts->drivers.push_back(name);
  }
  // The log is written while an error is being handled: a driver that cannot answer a
  // question must not raise a second error, so every error here is answered quietly.
  ScopedErrorHandler quiet([](Error&) { return ErrorAnswer::Default(); });
  const uint16_t current = CurrentAreaNumber();
  for (WorkArea* area : OpenAreas()) {
    if (area->area_number() > 255) continue;
    AreaFacts a;
    a.number = area->area_number();
    a.selected = a.number == current;
    a.alias = area->alias();
    area->SysName(&a.driver);
    area->RecNo(&a.recno);
    area->RecCount(&a.reccount);
    area->Bof(&a.bof);
    area->Eof(&a.eof);
    a.orders = GatherOrders(area);
    facts->areas.push_back(std::move(a));
  }
}

}  // namespace px
