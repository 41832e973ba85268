// The DBF driver with its memo layer: makes MemoArea work areas. Registered as "DBF",
// and as the default "DBFNTX" until the NTX-order layer takes that name.
#ifndef PX_ENGINE_DBF_MEMO_DRIVER_H_
#define PX_ENGINE_DBF_MEMO_DRIVER_H_

#include <memory>
#include <string>

#include "engine/dbf/dbf_driver.h"

namespace px {

class MemoDriver : public DbfDriver {
 public:
  explicit MemoDriver(std::string name) : DbfDriver(std::move(name)) {}
  std::unique_ptr<WorkArea> NewArea() const override;
};

}  // namespace px

#endif  // PX_ENGINE_DBF_MEMO_DRIVER_H_
