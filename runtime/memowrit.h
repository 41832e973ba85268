// Writing a whole small file from a text.
#ifndef PX_RUNTIME_MEMOWRIT_H_
#define PX_RUNTIME_MEMOWRIT_H_

#include "runtime/value.h"

namespace px {

// Creates the file (or empties an existing one), writes the text and then one byte 26,
// the end-of-file mark. True when every byte of the text was written; false when file
// or text is not text or the file cannot be created. Raises no error.
bool MEMOWRIT(const Value& file, const Value& text);

}  // namespace px

#endif  // PX_RUNTIME_MEMOWRIT_H_
