#include <string>
#include <vector>

#include "app/driver/open_by_alias.h"
#include "app/driver/recovery.h"
#include "app/driver/repairs.h"
#include "engine/workarea/commands.h"
#include "engine/workarea/registry.h"
#include "runtime/call_stack.h"

namespace px {

namespace {

void DeleteCurrentLocked() {
  if (!RECLOCK(2)) return;
  DBDELETE();
  DBUNLOCK();
}

// Deletes the run of blank keys at the top of the table's first index order.
void RemoveLeadingBlanks(const char* alias, const char* key_field) {
  if (!OpenByAlias(alias, false)) return;
  const int key = FIELDPOS(key_field);
  if (key > 0) {
    while (!EOF_() && EmptyValue(FIELDGET(key))) {
      DeleteCurrentLocked();
      DBSKIP(1);
    }
  }
  DBCLOSEAREA();
}

// Deletes every alternative whose five type fields are all blank.
void RemoveBlankAlternatives() {
  if (!OpenByAlias("cqalt", false)) return;
  std::vector<int> fields;
  for (const char* name : {"ALUMTYPE", "GLASTYPE", "REVEALTYPE", "FS", "SS"}) {
    fields.push_back(FIELDPOS(name));
  }
  bool complete = true;
  for (int pos : fields) complete = complete && pos > 0;
  if (complete) {
    for (DBGOTOP(); !EOF_(); DBSKIP(1)) {
      bool blank = true;
      for (int pos : fields) blank = blank && EmptyValue(FIELDGET(pos));
      if (blank) DeleteCurrentLocked();
    }
  }
  DBCLOSEAREA();
}

}  // namespace

bool EmptyValue(const Value& v) {
  switch (v.type()) {
    case Value::Type::kNil:
      return true;
    case Value::Type::kLogical:
      return !v.logical();
    case Value::Type::kNumber:
      return v.number() == 0;
    case Value::Type::kDate:
      return v.date() == 0;
    case Value::Type::kCharacter:
    case Value::Type::kMemo:
      return v.str().find_first_not_of(" \t\r\n") == std::string::npos;
    case Value::Type::kArray:
      return v.array().empty();
    default:
      return false;
  }
}

void CHKBLANK() {
  CallStep step("CHKBLANK");
  RecoveryPoint([] {
    RemoveLeadingBlanks("customer", "CODE");
    RemoveLeadingBlanks("cquotes", "CODE");
    RemoveBlankAlternatives();
    RemoveLeadingBlanks("stdass", "SHORTCUT");
    for (const char* alias : {"glastype", "glascat", "alumtype", "alumcat", "staff"}) {
      RemoveLeadingBlanks(alias, "CODE");
    }
    RemoveLeadingBlanks("users", "USERNAME");
    RemoveLeadingBlanks("salesid", "CODE");
    RemoveLeadingBlanks("custcat", "CODE");
  });
  DBCLOSEALL();
}

}  // namespace px
