// The modes tables are opened in, and how refused opens end.
#include <gtest/gtest.h>

#include "engine/workarea/commands.h"
#include "engine/workarea/registry.h"
#include "runtime/env.h"
#include "runtime/settings.h"
#include "tests/engine/faulty_env.h"
#include "tests/engine/table_util.h"
#include "tests/test_util.h"

namespace px {
namespace {

using test::CreateTable;
using test::Field;
using test::RecordedCodes;
using test::ScratchDir;

// Remembers the access and share mode of every open.
class ModeEnv : public EnvWrapper {
 public:
  ModeEnv() : EnvWrapper(Env::Default()) {}
  std::unique_ptr<File> OpenFile(std::string_view name, FileAccess access, FileShare share,
                                 int* os_code) override {
    opens.push_back({std::string(name), access, share});
    return EnvWrapper::OpenFile(name, access, share, os_code);
  }
  struct Open {
    std::string name;
    FileAccess access;
    FileShare share;
  };
  std::vector<Open> opens;
};

TEST(OpenModeTest, ModesComeFromTheFlagsAndTheExclusiveSetting) {
  ScratchDir dir;
  ASSERT_TRUE(CreateTable("t.dbf", {Field("A", 'C', 1), Field("M", 'M', 10)}));
  ModeEnv env;
  ScopedEnv scoped(&env);
  struct Case {
    bool exclusive_setting;
    std::optional<bool> shared, read_only;
    FileAccess access;
    FileShare share;
  };
  const Case cases[] = {
      {true, std::nullopt, std::nullopt, FileAccess::kReadWrite, FileShare::kExclusive},
      {false, std::nullopt, std::nullopt, FileAccess::kReadWrite, FileShare::kDenyNone},
      {true, true, false, FileAccess::kReadWrite, FileShare::kDenyNone},
      {false, false, true, FileAccess::kRead, FileShare::kExclusive},
      {true, true, true, FileAccess::kRead, FileShare::kDenyNone},
  };
  for (const Case& c : cases) {
    GetSettings().exclusive = c.exclusive_setting;
    env.opens.clear();
    ASSERT_TRUE(DBUSEAREA(false, "", "t", "", c.shared, c.read_only));
    // The table file and its memo file alike.
    ASSERT_EQ(env.opens.size(), 2u);
    for (const ModeEnv::Open& o : env.opens) {
      EXPECT_EQ(o.access, c.access) << o.name;
      EXPECT_EQ(o.share, c.share) << o.name;
    }
    Value shared;
    CurrentArea()->Info(TableInfo::kIsShared, &shared);
    EXPECT_EQ(shared.logical(), c.share == FileShare::kDenyNone);
  }
  DBCLOSEAREA();
  EXPECT_TRUE(RecordedErrors().empty());
}

TEST(OpenModeTest, RefusedOpensAreQuietOthersAreReported) {
  ScratchDir dir;
  ASSERT_TRUE(CreateTable("t.dbf", {Field("A", 'C', 1)}));
  test::FaultyEnv env;
  ScopedEnv scoped(&env);
  env.faults.open_error = kOsAccessDenied;
  EXPECT_FALSE(test::UseTable("t", "", /*shared=*/true));
  EXPECT_TRUE(NETERR());
  EXPECT_TRUE(RecordedErrors().empty());

  env.faults.open_error = kOsPathNotFound;
  EXPECT_FALSE(test::UseTable("t", "", /*shared=*/true));
  EXPECT_TRUE(NETERR()) << "any failed open sets the flag";
  ASSERT_EQ(RecordedCodes(), std::vector<std::string>{"21/1001"});
  EXPECT_EQ(RecordedErrors()[0].os_code, kOsPathNotFound);
  EXPECT_EQ(RecordedErrors()[0].filename, "t.dbf");

  // The next open clears the flag.
  env.faults.open_error = 0;
  EXPECT_TRUE(test::UseTable("t", "", /*shared=*/true));
  EXPECT_FALSE(NETERR());
  EXPECT_TRUE(NETERR(true));
  EXPECT_TRUE(NETERR());
  EXPECT_FALSE(NETERR(false));
}

}  // namespace
}  // namespace px
