// Text substitution of variable references.
#include <gtest/gtest.h>

#include "engine/expr/substitute.h"
#include "runtime/process_state.h"

namespace px::expr {
namespace {

TEST(SubstituteTest, ReferencesAndTheirPeriod) {
  EXPECT_EQ(Substitute("&ttodrvpth.oldexdef"), "&ttodrvpth.oldexdef");  // no variable
  GetMemVars().Set("TTODRVPTH", Value::String("C:\\PX\\"));
  EXPECT_EQ(Substitute("&ttodrvpth.oldexdef"), "C:\\PX\\oldexdef");
  EXPECT_EQ(Substitute("&TTODRVPTH"), "C:\\PX\\");
  EXPECT_EQ(Substitute("&ttodrvpth..dbf"), "C:\\PX\\.dbf");
  EXPECT_EQ(Substitute("x&ttodrvpth y"), "xC:\\PX\\ y");
  EXPECT_EQ(Substitute("&ttodrvpthX"), "&ttodrvpthX");  // another name
  GetMemVars().Set("N", Value::Integer(1));
  EXPECT_EQ(Substitute("&n.x"), "&n.x");  // not a string
  EXPECT_EQ(Substitute("a & b &1 &"), "a & b &1 &");
  GetMemVars().Set("_", Value::String("under"));
  EXPECT_EQ(Substitute("&_.x"), "&_.x");
  GetMemVars().Set("_A", Value::String("ok"));
  EXPECT_EQ(Substitute("&_a"), "ok");
}

TEST(SubstituteTest, NestedExpansionAndTrailingBlanks) {
  GetMemVars().Set("ROOT", Value::String("C:\\"));
  GetMemVars().Set("DIR", Value::String("&root.px\\"));
  EXPECT_EQ(Substitute("&dir.file  "), "C:\\px\\file  ");
  // Trailing blanks are set aside before substitution and put back afterwards.
  GetMemVars().Set("SP", Value::String("a  "));
  EXPECT_EQ(Substitute("&sp  "), "a    ");
  // A reference may continue from an inserted value into the text after it.
  GetMemVars().Set("AMP", Value::String("&"));
  GetMemVars().Set("ROOTX", Value::String("no"));
  EXPECT_EQ(Substitute("&amp.root"), "C:\\");
}

TEST(SubstituteTest, EndlessExpansionLeavesTheTextAlone) {
  GetMemVars().Set("SELF", Value::String("x&self"));
  EXPECT_EQ(Substitute("a&self"), "a&self");
  EXPECT_EQ(Substitute("a&self.b"), "ax&selfb");  // the reference runs on into "b"
  GetMemVars().Set("BIG", Value::String(std::string(4 * 1024 * 1024, 'x') + "&big&big"));
  EXPECT_EQ(Substitute("&big"), "&big");
}

}  // namespace
}  // namespace px::expr
