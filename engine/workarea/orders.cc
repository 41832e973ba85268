// Commands on the orders of the current work area: they check their arguments and hand
// the work to the area's driver.
#include "engine/workarea/orders.h"

#include "engine/workarea/registry.h"
#include "engine/workarea/work_area.h"
#include "runtime/error.h"

namespace px {

namespace {

void ArgumentError(const char* operation) {
  Error e = Error::Make("DBCMD", kErrArg, 1006);
  e.operation = operation;
  e.can_default = true;
  RaiseError(e);
}

bool IsBlank(std::string_view s) {
  return s.find_first_not_of(" \t") == std::string_view::npos;
}

}  // namespace

void ORDLISTADD(const Value& bag, const Value& order_name) {
  WorkArea* area = CurrentAreaOrRaise("ORDLISTADD");
  if (area == nullptr || bag.is_nil()) return;
  if (!bag.is_string()) {
    ArgumentError("ORDLISTADD");
    return;
  }
  if (IsBlank(bag.str())) return;
  area->OrderListAdd(bag.str(), order_name.is_string() ? order_name.str() : std::string());
}

void ORDLISTCLEAR() {
  if (WorkArea* area = CurrentAreaOrRaise("ORDLISTCLEAR")) area->OrderListClear();
}

std::string ORDSETFOCUS(const Value& order) {
  WorkArea* area = CurrentAreaOrRaise("ORDSETFOCUS");
  std::string previous;
  if (area != nullptr) area->OrderListFocus(order, &previous);
  return previous;
}

void ORDCREATE(std::string_view bag, std::string_view order_name, std::string_view key_text,
               std::shared_ptr<const CodeBlock> key_block, std::optional<bool> unique) {
  WorkArea* area = CurrentAreaOrRaise("ORDCREATE");
  if (area == nullptr) return;
  if ((IsBlank(bag) && IsBlank(order_name)) || key_text.empty()) {
    ArgumentError("ORDCREATE");
    return;
  }
  OrderCreateInfo info;
  info.bag_name = std::string(bag);
  info.order_name = std::string(order_name);
  info.key_text = std::string(key_text);
  info.key_block = std::move(key_block);
  info.unique = unique;
  area->OrderCreate(info);
}

Value DBORDERINFO(int query, const Value& order, const Value& arg) {
  // The default extension needs no table.
  if (query == 8) return Value::String(".ntx");
  WorkArea* area = CurrentAreaOrRaise("DBORDERINFO");
  Value out;
  if (area != nullptr && !area->OrderInfo(query, order, arg, &out)) out = Value();
  return out;
}

}  // namespace px
