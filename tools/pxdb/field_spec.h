// Field definitions on the command line of pxdb: NAME:TYPE:LEN[:DEC].
#ifndef PX_TOOLS_PXDB_FIELD_SPEC_H_
#define PX_TOOLS_PXDB_FIELD_SPEC_H_

#include <string>
#include <vector>

#include "engine/workarea/work_area.h"
#include "runtime/value.h"

namespace px::pxdb {

// Parses NAME:TYPE:LEN[:DEC]: a name of 1 to 10 characters without blanks (upper-cased),
// one of the letters C N F D L M B 8 I 2 4 (any case), a length from 0 to 65535 and
// decimals from 0 to 255 (only for N, F and B; N and F fields 1 to 255 long with room
// for their decimals and point; C fields at least 1 long). False with the reason in
// *why.
bool ParseFieldSpec(const std::string& spec, FieldDef* out, std::string* why);

// Parses a whole field list; names must differ. False with "field SPEC: reason" in *why.
bool ParseFieldSpecs(const std::vector<std::string>& specs, std::vector<FieldDef>* out,
                     std::string* why);

// The structure array of a field list, as DBCREATE takes it.
Value StructureOf(const std::vector<FieldDef>& fields);

}  // namespace px::pxdb

#endif  // PX_TOOLS_PXDB_FIELD_SPEC_H_
