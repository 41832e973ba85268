// One order of a work area: an open index file with its key tree, the compiled key and
// FOR expressions, and the state the order driver keeps for it between operations.
//
// The key of a record is the key expression's value turned into key-size bytes
// (ntx_key.h): character values are cut or padded with blanks to the key size, numbers
// formatted at the key size and decimals, dates YYYYMMDD, logicals T/F. A value of
// another type gives a blank key, so that every record always has a key. An order whose
// key expression is exactly the name of a field reads the field from the record bytes.
#ifndef PX_ENGINE_NTX_NTX_ORDER_H_
#define PX_ENGINE_NTX_NTX_ORDER_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "engine/dbf/dbf_format.h"
#include "engine/ntx/key_tree.h"
#include "runtime/value.h"

namespace px::expr {
class Program;
}  // namespace px::expr

namespace px::ntx {

// How the key of a record is made; shared by an open order and an index build.
struct KeySpec {
  std::string key_text;
  // How the key is computed: the block given with the order, or else the compiled key
  // text, run straight into the caller's Value (whose storage then serves key after
  // key). Exactly one of them is set.
  std::shared_ptr<const CodeBlock> key_block;
  std::shared_ptr<const expr::Program> key_program;
  // The field read directly when the key text is exactly a field name; nullptr else.
  const DbfField* field = nullptr;
  std::string for_text;  // empty when there is no FOR condition
  std::shared_ptr<const CodeBlock> for_block;
  // 'C' for character and logical keys, 'N' or 'D'. An order opened from a file is
  // always 'C' (seeks then match prefixes); a new one takes the type of its first key.
  char key_type = 'C';
  int key_size = 0;
  int key_decimals = 0;
};

struct Order {
  KeySpec spec;
  std::unique_ptr<KeyTree> tree;
  std::string name;       // from the header, else the file's base name
  int number = 0;         // 1 for the first order opened on the area, counting up
  std::string file_name;  // as opened or created
  bool unique = false;
  bool descending = false;
  bool custom = false;

  // Bounds of navigation, as search bytes (nullopt: none) and as given.
  std::optional<std::string> top_scope, bottom_scope;
  Value top_scope_value, bottom_scope_value;

  // Set when a move in this order hit an end.
  bool bof = false;
  bool eof = false;

  // Key maintenance: the key and FOR result of the record when it became hot.
  std::string hot_key;
  bool hot_for = false;
  bool hot_known = false;

  // Pages were written since the last commit.
  bool written = false;

  IndexFile& file() { return tree->file(); }
};

// The key bytes of a value for an order: exactly key-size bytes (see above).
std::string KeyBytes(const KeySpec& spec, const Value& value);

// The STR formatter numeric keys use.
const StrFormatter& KeyStrFormatter();

}  // namespace px::ntx

#endif  // PX_ENGINE_NTX_NTX_ORDER_H_
