// The commands of pxdb: one line each.
#include "tools/pxdb/command.h"

namespace px::pxdb {

std::unique_ptr<Command> MakeAppendCommand();
std::unique_ptr<Command> MakeAppendFromCommand();
std::unique_ptr<Command> MakeCheckCommand();
std::unique_ptr<Command> MakeCountCommand();
std::unique_ptr<Command> MakeCreateCommand();
std::unique_ptr<Command> MakeDumpCommand();
std::unique_ptr<Command> MakeEvalCommand();
std::unique_ptr<Command> MakeExportCommand();
std::unique_ptr<Command> MakeLockCommand();
std::unique_ptr<Command> MakeMkupdateCommand();
std::unique_ptr<Command> MakePackCommand();
std::unique_ptr<Command> MakePreviewCommand();
std::unique_ptr<Command> MakeRestructureCommand();
std::unique_ptr<Command> MakeSampleCommand();
std::unique_ptr<Command> MakeIndexCommand();
std::unique_ptr<Command> MakeKeysCommand();
std::unique_ptr<Command> MakeSeekCommand();
std::unique_ptr<Command> MakeStructCommand();
std::unique_ptr<Command> MakeZapCommand();
std::unique_ptr<Command> MakeRebuildCommand();
std::unique_ptr<Command> MakeOpenCommand();
std::unique_ptr<Command> MakeRestoreCommand();

const std::vector<CommandInfo>& CommandTable() {
  static const std::vector<CommandInfo> table = {
      {"struct", "print the fields of a table: NAME TYPE LEN DEC", MakeStructCommand},
      {"dump", "print every record as one JSON object per line", MakeDumpCommand},
      {"export", "write the records as CSV: FILE [--fields A,B] [--deleted] [--encoding CP]",
       MakeExportCommand},
      {"count", "print the record count of a table", MakeCountCommand},
      {"eval", "print the value and type of an expression on each record (or --recno N)",
       MakeEvalCommand},
      {"create", "create a table: pxdb create FILE NAME:TYPE:LEN[:DEC] ...", MakeCreateCommand},
      {"append", "append one record per JSON line read from standard input", MakeAppendCommand},
      {"mkupdate", "make an update archive: pxdb mkupdate OUT.zip PASSWORD FILE...",
       MakeMkupdateCommand},
      {"lock", "hold a record lock: pxdb lock FILE RECNO SECONDS (always shared)", MakeLockCommand},
      {"appendfrom", "append every record of another table by field name: DEST SOURCE",
       MakeAppendFromCommand},
      {"pack", "remove the records marked deleted", MakePackCommand},
      {"zap", "remove every record and empty the memo file", MakeZapCommand},
      {"restructure", "give a table new fields and keep its records: FILE NAME:TYPE:LEN[:DEC] ...",
       MakeRestructureCommand},
      {"index", "build an index file: pxdb index FILE NTX \"EXPR\" [--unique]", MakeIndexCommand},
      {"keys", "print the keys of an index in key order: RECNO and the key bytes", MakeKeysCommand},
      {"seek", "seek a value in an index: pxdb seek FILE NTX VALUE [--soft] [--last]",
       MakeSeekCommand},
      {"check", "check index files against their table: pxdb check FILE NTX...", MakeCheckCommand},
      {"sample", "write a sample installation: pxdb sample FOLDER [--scale N]", MakeSampleCommand},
      {"rebuild", "rebuild every index named in the catalogue: pxdb rebuild [FOLDER]",
       MakeRebuildCommand},
      {"open", "open a table by alias as the installer does: ALIAS [--exclusive] [--folder F]",
       MakeOpenCommand},
      {"preview", "what an update would do, changing nothing: UPDATE [--folder F] [--json]",
       MakePreviewCommand},
      {"restore", "put the tables of a backup archive back: BACKUP.zip [--folder F]",
       MakeRestoreCommand},
  };
  return table;
}

}  // namespace px::pxdb
