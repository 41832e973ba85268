// The work-area part of the error log's figures.
#include "engine/workarea/work_area.h"
#include "ui/error_log.h"

namespace px {

void GatherWorkAreaFacts(ErrorLogFacts* facts) {
  // The drivers the engine may register; the log lists those that are.
  for (const char* name : {"DBF", "DBFFPT", "DBFNTX", "DBFCDX", "SDF", "DELIM"}) {
    if (FindDriver(name) != nullptr) facts->drivers.push_back(name);
  }
}

}  // namespace px
