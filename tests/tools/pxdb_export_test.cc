// pxdb export: the CSV read back by Python's csv module holds what pxdb dump shows, on
// a table with every field kind and the awkward values (separators, quotes, line
// breaks, characters above ASCII in each code page, deleted records).
#include <gtest/gtest.h>

#include "tests/child_process.h"
#include "tests/test_util.h"
#include "tests/tools/pxdb_test_util.h"

namespace px {
namespace {

using test::Pxdb;

// Compares the CSV with the dump as the export documents it; prints what differs.
constexpr char kCompare[] = R"(
import csv, json, sys
csv_file, dump_file, encoding, fields, deleted = sys.argv[1:6]
with open(csv_file, newline='', encoding='utf-8') as f:
    rows = list(csv.reader(f))
with open(csv_file, 'rb') as f:
    raw = f.read()
assert raw.count(b'\r\n') >= len(rows), 'rows must end in CR LF'
dump = [json.loads(line) for line in open(dump_file, encoding='utf-8')]
names = fields.split(',') if fields else list(dump[0]['fields'].keys())
expected = [names + (['_DELETED'] if deleted == '1' else [])]
for rec in dump:
    if rec['deleted'] and deleted != '1':
        continue
    row = []
    for name in names:
        v = rec['fields'][name]
        if isinstance(v, bool):
            v = 'T' if v else 'F'
        elif len(v) == 8 and v.isdigit() and name == 'DUE':
            v = v[:4] + '-' + v[4:6] + '-' + v[6:]
        else:
            v = v.encode('latin1').decode(encoding).rstrip(' ') if name != 'NOTES' else \
                v.encode('latin1').decode(encoding)
        row.append(v)
    if deleted == '1':
        row.append('T' if rec['deleted'] else 'F')
    expected.append(row)
if rows != expected:
    print('csv:     ', rows)
    print('expected:', expected)
    sys.exit(1)
)";

TEST(PxdbExportTest, CsvReadBackEqualsTheDump) {
  PX_SKIP_WITHOUT_POSIX("the CSV is read back by python3 through /bin/sh");
  test::ScratchDir dir;
  ASSERT_EQ(
      Pxdb({"create", "t.dbf", "NAME:C:24", "QTY:N:8:2", "DUE:D:8", "OK:L:1", "NOTES:M:10"}).code,
      0);
  // Text bytes go in as Latin-1 characters: "\u00e9" is the byte 0xE9, "\u0080" 0x80.
  const test::PxdbResult appended = Pxdb(
      {"append", "t.dbf"},
      "{\"NAME\":\"plain\",\"QTY\":1.5,\"DUE\":\"20240229\",\"OK\":true,\"NOTES\":\"one line\"}\n"
      "{\"NAME\":\"comma, \\\"quote\\\"\",\"QTY\":-20,\"DUE\":\"\",\"OK\":false,"
      "\"NOTES\":\"two\\r\\nlines, \\\"quoted\\\"\"}\n"
      "{\"NAME\":\"caf\\u00e9 \\u0080 \\u0082\",\"NOTES\":\"\\u00e9\\u0080\"}\n"
      "{\"recno\":4,\"deleted\":true,\"fields\":{\"NAME\":\"gone\",\"QTY\":\"3\",\"DUE\":"
      "\"19991231\",\"OK\":true,\"NOTES\":\"\"}}\n"
      "{\"NAME\":\"  leading blanks\",\"QTY\":12345.67}\n");
  ASSERT_EQ(appended.code, 0) << appended.err;
  const test::PxdbResult dump = Pxdb({"dump", "t.dbf"});
  ASSERT_EQ(dump.code, 0);
  test::WriteFileBytes(dir.File("dump.jsonl"), dump.out);
  test::WriteFileBytes(dir.File("compare.py"), kCompare);

  const struct {
    std::vector<std::string> options;
    const char* encoding;
    const char* fields;
    const char* deleted;
  } cases[] = {
      {{}, "cp1252", "", "0"},
      {{"--encoding", "cp850", "--deleted"}, "cp850", "", "1"},
      {{"--encoding", "LATIN1", "--fields", "notes,NAME"}, "latin1", "NOTES,NAME", "0"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.encoding);
    std::vector<std::string> args = {"export", "t.dbf"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const test::PxdbResult r = Pxdb(args);
    ASSERT_EQ(r.code, 0) << r.err;
    test::WriteFileBytes(dir.File("out.csv"), r.out);
    EXPECT_EQ(test::RunProgram(
                  {"/bin/sh", "-c", "python3 \"$0\" \"$@\"", dir.File("compare.py"),
                   dir.File("out.csv"), dir.File("dump.jsonl"), c.encoding, c.fields, c.deleted},
                  {}, "", dir.File("compare.out")),
              0)
        << test::ReadFileBytes(dir.File("compare.out"));
  }

  test::ExpectOneLineError(Pxdb({"export", "t.dbf", "--fields", "NAME,NOPE"}), "no field NOPE");
  test::ExpectOneLineError(Pxdb({"export", "t.dbf", "--encoding", "utf16"}), "unknown encoding");
  EXPECT_EQ(Pxdb({"export", "t.dbf", "--fields", "OK"}).out, "OK\r\nT\r\nF\r\nF\r\nF\r\n");
}

}  // namespace
}  // namespace px
