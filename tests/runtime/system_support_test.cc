// The small services behind the error log and the folder chooser: /proc parsing,
// dates as text, INI files and the call-stack registry.
#include <gtest/gtest.h>

#include "runtime/call_stack.h"
#include "runtime/date.h"
#include "runtime/date_text.h"
#include "runtime/ini_file.h"
#include "runtime/settings.h"
#include "runtime/system_info.h"
#include "tests/test_util.h"

namespace px {
namespace {

TEST(SystemInfoTest, ParsesProcTexts) {
  std::string name;
  int mhz = 0;
  ParseCpuInfo(
      "processor\t: 0\nvendor_id\t: GenuineIntel\nmodel name\t: Intel(R) Xeon(R) CPU @ 2.20GHz\n"
      "cpu MHz\t\t: 2199.998\n\nprocessor\t: 1\nmodel name\t: other\ncpu MHz\t: 100\n",
      &name, &mhz);
  EXPECT_EQ(name, "Intel(R) Xeon(R) CPU @ 2.20GHz");
  EXPECT_EQ(mhz, 2200);
  ParseCpuInfo("", &name, &mhz);
  EXPECT_EQ(name, "");
  EXPECT_EQ(mhz, 0);

  const std::string meminfo =
      "MemTotal:       24576000 kB\nMemFree:  100 kB\nMemAvailable: 12288000 kB\n";
  EXPECT_EQ(ProcField(meminfo, "MemTotal"), 24576000);
  EXPECT_EQ(ProcField(meminfo, "MemAvailable"), 12288000);
  EXPECT_EQ(ProcField(meminfo, "Mem"), -1);
  EXPECT_EQ(ProcField(meminfo, "Swap"), -1);

  // A command name with blanks and parentheses does not shift the fields.
  EXPECT_EQ(ParseStatStartTicks("42 (my (odd) prog) S 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 "
                                "98765 19 20"),
            98765);
  EXPECT_EQ(ParseStatStartTicks("garbage"), -1);
}

TEST(SystemInfoTest, ReadsThisMachineAndProgram) {
  const SystemInfo sys = ReadSystemInfo();
  EXPECT_GT(sys.memory_mb, 0);
#ifdef _WIN32
  EXPECT_EQ(sys.os_name, "Windows");
#else
  EXPECT_EQ(sys.os_name, "Linux");
#endif
  EXPECT_GT(sys.os_major, 0);
  EXPECT_FALSE(sys.tasks.empty());
  const ProgramInfo prog = ReadProgramInfo();
  EXPECT_NE(prog.path.find("runtime_tests"), std::string::npos);
  EXPECT_GT(prog.size, 0);
  EXPECT_EQ(prog.bits, static_cast<int>(sizeof(void*) * 8));
  EXPECT_GE(prog.seconds_running, 0);
  EXPECT_GT(prog.peak_memory_bytes, 0);
}

TEST(DateTextTest, FollowsTheFormat) {
  const int32_t d = DateFromYmd(2024, 3, 7);
  EXPECT_EQ(DateToText(d, "dd/mm/yy"), "07/03/24");
  EXPECT_EQ(DateToText(d, "dd/mm/yyyy"), "07/03/2024");
  EXPECT_EQ(DateToText(d, "YYYY.MM.DD"), "2024.03.07");
  EXPECT_EQ(DateToText(0, "dd/mm/yy"), "  /  /  ");
  EXPECT_EQ(DateToText(d), "03/07/24");  // the default setting is mm/dd/yy
  GetSettings().date_format = "dd/mm/yy";
  EXPECT_EQ(DateToText(d), "07/03/24");
}

TEST(IniFileTest, ReadsWritesAndIgnoresCase) {
  test::ScratchDir dir;
  IniFile ini;
  ini.Set("GetDirectory", "lpstrTitle", "Update From");
  ini.Set("GetDirectory", "hwndOwner", "0");
  ini.Set("getdirectory", "LPSTRTITLE", "Other");
  EXPECT_EQ(ini.Text(), "[GetDirectory]\r\nlpstrTitle=Other\r\nhwndOwner=0\r\n");
  ASSERT_TRUE(ini.Save("rundlg32.ini"));
  const IniFile back = IniFile::Load("RUNDLG32.INI");
  EXPECT_EQ(back.Get("GETDIRECTORY", "lpstrtitle"), "Other");
  EXPECT_EQ(back.Get("GetDirectory", "working", "0"), "0");
  EXPECT_EQ(IniFile::Load("missing.ini").Get("a", "b", "dflt"), "dflt");
  const IniFile parsed = IniFile::Parse("; c\nstray=1\n[S]\n k = v \n[T]\nk=w\n");
  EXPECT_EQ(parsed.Get("S", "k"), "v");
  EXPECT_EQ(parsed.Get("T", "k"), "w");
  EXPECT_EQ(parsed.Get("", "stray"), "");
}

TEST(CallStackTest, StepsNestAndUnwind) {
  EXPECT_TRUE(CallStack().empty());
  {
    CallStep main("MAIN", 10);
    {
      CallStep update("UPDATE1");
      update.set_line(42);
      const std::vector<CallFrame> stack = CallStack();
      ASSERT_EQ(stack.size(), 2u);
      EXPECT_EQ(stack[0].name, "UPDATE1");
      EXPECT_EQ(stack[0].line, 42);
      EXPECT_EQ(stack[1].name, "MAIN");
    }
    EXPECT_EQ(CallStack().size(), 1u);
  }
  EXPECT_TRUE(CallStack().empty());
}

}  // namespace
}  // namespace px
