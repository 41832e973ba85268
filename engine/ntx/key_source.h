// Where an index build takes its keys from: (record number, key bytes) pairs in
// record order. The order driver makes them from the table's records.
#ifndef PX_ENGINE_NTX_KEY_SOURCE_H_
#define PX_ENGINE_NTX_KEY_SOURCE_H_

#include <cstdint>
#include <string_view>

namespace px::ntx {

class KeySource {
 public:
  virtual ~KeySource() = default;
  // The next key (valid until the next call); false at the end, or when the source
  // failed (then ok() is false).
  virtual bool Next(uint32_t* recno, std::string_view* key) = 0;
  virtual bool ok() const { return true; }
};

}  // namespace px::ntx

#endif  // PX_ENGINE_NTX_KEY_SOURCE_H_
