// The storage engine as a whole.
#ifndef PX_ENGINE_ENGINE_H_
#define PX_ENGINE_ENGINE_H_

namespace px {

// Registers the table drivers (DBF, and DBFNTX as the default). Idempotent; every
// program and test calls it once before opening tables.
void InitEngine();

}  // namespace px

#endif  // PX_ENGINE_ENGINE_H_
