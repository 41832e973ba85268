#include "app/driver/path_vars.h"

#include "app/data/catalogue_fields.h"
#include "app/driver/driver_vars.h"
#include "runtime/memvars.h"

namespace px {

std::string NormalizeFolder(std::string_view folder) {
  std::string f = AllTrim(folder);
  while (!f.empty() && (f.back() == '\\' || f.back() == '/')) f.pop_back();
  return f;
}

PathVars PathVars::Make(std::string_view from_drive, std::string_view to_drive,
                        std::string_view to_folder, std::string_view from_folder) {
  PathVars p;
  p.from_drive = std::string(from_drive);
  p.from_path = NormalizeFolder(from_folder);
  p.from_drvpth = p.from_drive + p.from_path + "\\";
  p.to_drive = std::string(to_drive);
  p.to_path = NormalizeFolder(to_folder);
  p.to_drvpth = p.to_drive + p.to_path + "\\";
  p.temp_path = TrimRight(p.to_path + "\\temp");
  p.temp_drvpth = p.to_drive + p.temp_path + "\\";
  return p;
}

void PathVars::Publish(ScopedMemVars& vars) const {
  vars.Create("TFROMDRIVE", Value::String(from_drive));
  vars.Create("TFROMPATH", Value::String(from_path));
  vars.Create("TFROMDRVPTH", Value::String(from_drvpth));
  vars.Create("TTODRIVE", Value::String(to_drive));
  vars.Create("TTOPATH", Value::String(to_path));
  vars.Create("TTODRVPTH", Value::String(to_drvpth));
  vars.Create("TTEMPPATH", Value::String(temp_path));
  vars.Create("TTEMPDRVPTH", Value::String(temp_drvpth));
}

}  // namespace px
