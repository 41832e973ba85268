// Commands on the orders (open index files) of the current work area.
//
// Each acts on the current area; with no table there they raise "DBCMD" 35/2001
// "Workarea not in use" with the operation's name.
#ifndef PX_ENGINE_WORKAREA_ORDERS_H_
#define PX_ENGINE_WORKAREA_ORDERS_H_

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "runtime/value.h"

namespace px {

// Opens an index file (".ntx" added when it has no extension) and appends its order;
// the first order of an area becomes the controlling one and the area goes to the top.
// An empty or blank name does nothing; a name that is not text raises 1/1006.
void ORDLISTADD(const Value& bag, const Value& order_name = Value());
inline void ORDLISTADD(std::string_view bag) { ORDLISTADD(Value::String(std::string(bag))); }

// Closes every index file of the current area.
void ORDLISTCLEAR();

// Chooses the controlling order by number (0: none) or name; returns the name of the
// order that controlled before ("" when none).
std::string ORDSETFOCUS(const Value& order = Value());
inline std::string ORDSETFOCUS(int number) { return ORDSETFOCUS(Value::Integer(number)); }

// Builds a new index file from a key expression over every record and makes it the
// area's only and controlling order. key_block, when given, computes the key instead of
// the compiled text; unique defaults to the unique setting.
void ORDCREATE(std::string_view bag, std::string_view order_name, std::string_view key_text,
               std::shared_ptr<const CodeBlock> key_block = nullptr,
               std::optional<bool> unique = std::nullopt);

// ORDCREATE with the arguments in the order of the system's DBCREATEINDEX.
inline void DBCREATEINDEX(std::string_view bag, std::string_view key_text,
                          std::shared_ptr<const CodeBlock> key_block = nullptr,
                          std::optional<bool> unique = std::nullopt,
                          std::string_view order_name = {}) {
  ORDCREATE(bag, order_name, key_text, std::move(key_block), unique);
}

// Order information query by number (1 FOR text, 2 key text, 3 key position, 5 name,
// 6 number, 7 file, 8 default extension, 9 count of orders, ...) for an order given by
// number or name (nil: the controlling order).
Value DBORDERINFO(int query, const Value& order = Value(), const Value& arg = Value());

}  // namespace px

#endif  // PX_ENGINE_WORKAREA_ORDERS_H_
