// Record-level commands on the current work area: navigation, field access, deletion
// and appending.
#include "engine/workarea/commands.h"

#include "engine/workarea/registry.h"
#include "engine/workarea/work_area.h"
#include "runtime/error.h"
#include "runtime/process_state.h"
#include "runtime/settings.h"

namespace px {

namespace {

bool ValidField(WorkArea* area, int pos) {
  uint16_t count = 0;
  return area != nullptr && pos >= 1 && area->FieldCount(&count) && pos <= count;
}

}  // namespace

// --- Navigation ---

void DBGOTOP() {
  if (WorkArea* area = CurrentAreaOrRaise("DBGOTOP")) area->GoTop();
}

void DBGOBOTTOM() {
  if (WorkArea* area = CurrentAreaOrRaise("DBGOBOTTOM")) area->GoBottom();
}

void DBGOTO(const Value& recno) {
  WorkArea* area = CurrentAreaOrRaise("DBGOTO");
  if (area == nullptr) return;
  if (recno.is_nil()) {
    Error e = Error::Make("DBCMD", kErrArg, 1003);
    e.operation = "DBGOTO";
    RaiseError(e);
    return;
  }
  area->GoToId(recno);
}

void DBSKIP(int64_t n) {
  if (WorkArea* area = CurrentAreaOrRaise("DBSKIP")) area->Skip(n);
}

bool EOF_() {
  WorkArea* area = CurrentArea();
  bool out = true;
  if (area != nullptr) area->Eof(&out);
  return out;
}

bool BOF() {
  WorkArea* area = CurrentArea();
  bool out = true;
  if (area != nullptr) area->Bof(&out);
  return out;
}

bool FOUND() {
  WorkArea* area = CurrentArea();
  bool out = false;
  if (area != nullptr) area->Found(&out);
  return out;
}

uint32_t RECNO() {
  WorkArea* area = CurrentArea();
  uint32_t out = 0;
  if (area != nullptr && !area->RecNo(&out)) out = 0;
  return out;
}

uint32_t RECCOUNT() {
  WorkArea* area = CurrentArea();
  uint32_t out = 0;
  if (area != nullptr && !area->RecCount(&out)) out = 0;
  return out;
}

bool DELETED() {
  WorkArea* area = CurrentArea();
  bool out = false;
  if (area != nullptr && !area->Deleted(&out)) out = false;
  return out;
}

bool DBSEEK(const Value& key, std::optional<bool> soft, bool find_last) {
  WorkArea* area = CurrentAreaOrRaise("DBSEEK");
  if (area == nullptr) return false;
  if (key.is_nil()) {
    Error e = Error::Make("DBCMD", kErrArg, 1001);
    e.operation = "DBSEEK";
    RaiseError(e);
    return false;
  }
  if (!area->Seek(soft.value_or(GetSettings().soft_seek), key, find_last)) return false;
  bool found = false;
  area->Found(&found);
  return found;
}

// --- Fields ---

int FCOUNT() {
  WorkArea* area = CurrentArea();
  uint16_t count = 0;
  if (area != nullptr && !area->FieldCount(&count)) count = 0;
  return count;
}

std::string FIELDNAME(int pos) {
  WorkArea* area = CurrentArea();
  std::string name;
  if (ValidField(area, pos)) area->FieldName(static_cast<uint16_t>(pos), &name);
  return name;
}

int FIELDPOS(std::string_view name) {
  return FieldPosition(CurrentArea(), name);
}

Value FIELDGET(int pos) {
  WorkArea* area = CurrentArea();
  Value v;
  if (ValidField(area, pos) && !area->GetValue(static_cast<uint16_t>(pos), &v)) v = Value();
  return v;
}

Value FIELDPUT(int pos, const Value& value) {
  WorkArea* area = CurrentArea();
  if (!ValidField(area, pos)) return Value();
  return area->PutValue(static_cast<uint16_t>(pos), value) ? value : Value();
}

// --- Changes ---

void DBDELETE() {
  if (WorkArea* area = CurrentAreaOrRaise("DBDELETE")) area->DeleteRecord();
}

void DBRECALL() {
  if (WorkArea* area = CurrentAreaOrRaise("DBRECALL")) area->Recall();
}

bool DBAPPEND(bool release_other_locks) {
  SetNetErr(false);
  WorkArea* area = CurrentAreaOrRaise("DBAPPEND");
  if (area == nullptr) return false;
  if (!area->Append(release_other_locks)) {
    SetNetErr(true);
    return false;
  }
  return true;
}

}  // namespace px
