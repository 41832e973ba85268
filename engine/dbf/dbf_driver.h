// The DBF table driver: makes DbfArea work areas and knows the files of a table.
#ifndef PX_ENGINE_DBF_DBF_DRIVER_H_
#define PX_ENGINE_DBF_DBF_DRIVER_H_

#include <memory>
#include <string>

#include "engine/workarea/work_area.h"

namespace px {

class DbfDriver : public Driver {
 public:
  // The name under which the driver is registered; its areas raise errors under it.
  explicit DbfDriver(std::string name) : name_(std::move(name)) {}

  std::string Name() const override { return name_; }
  std::unique_ptr<WorkArea> NewArea() const override;
  std::string TableExtension() const override { return ".dbf"; }
  // Deletes the table file and its memo file (when there is one).
  bool Drop(const std::string& file_name) const override;
  bool Exists(const std::string& file_name) const override;

 private:
  std::string name_;
};

}  // namespace px

#endif  // PX_ENGINE_DBF_DBF_DRIVER_H_
