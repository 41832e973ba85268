// Random arithmetic and logical texts evaluated by the compiler against a small
// recursive reference evaluator written from the operator table: levels, left-to-right
// grouping, prefix operators.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "engine/expr/eval_text.h"
#include "tests/engine/expr/fake_context.h"

namespace px::expr {
namespace {

// Reference: precedence climbing over a token list.
class Reference {
 public:
  explicit Reference(const std::vector<std::string>& tokens) : t_(tokens) {}
  double Parse() { return Binary(6); }

 private:
  static int Level(const std::string& op) {
    if (op == "+" || op == "-") return 6;
    if (op == "*" || op == "%") return 7;
    if (op == "**") return 8;
    return 0;
  }
  double Binary(int min_level) {
    double left = Prefix();
    for (;;) {
      if (pos_ >= t_.size()) return left;
      const std::string op = t_[pos_];
      const int level = Level(op);
      if (level == 0 || level < min_level) return left;
      ++pos_;
      const double right = Binary(level + 1);  // left to right
      if (op == "+") left += right;
      if (op == "-") left -= right;
      if (op == "*") left *= right;
      if (op == "%") left = std::fmod(left, right);
      if (op == "**") left = std::pow(left, right);
    }
  }
  double Prefix() {
    if (t_[pos_] == "-") {
      ++pos_;
      return -Prefix();  // binds tighter than **
    }
    if (t_[pos_] == "(") {
      ++pos_;
      const double v = Binary(6);
      ++pos_;  // ")"
      return v;
    }
    return std::stod(t_[pos_++]);
  }
  const std::vector<std::string>& t_;
  size_t pos_ = 0;
};

TEST(GroupingTest, RandomArithmeticMatchesTheOperatorTable) {
  uint64_t seed = 0x2545F4914F6CDD1DULL;
  auto next = [&](uint64_t n) {
    seed ^= seed << 13;
    seed ^= seed >> 7;
    seed ^= seed << 17;
    return seed % n;
  };
  const char* ops[] = {"+", "-", "*", "%", "**"};
  test::FakeContext ctx;
  for (int round = 0; round < 3000; ++round) {
    std::vector<std::string> tokens;
    int open = 0;
    const int terms = 2 + static_cast<int>(next(7));
    for (int i = 0; i < terms; ++i) {
      while (next(4) == 0) {
        tokens.push_back(next(2) ? "(" : "-");
        if (tokens.back() == "(") ++open;
      }
      tokens.push_back(std::to_string(1 + next(5)));
      while (open > 0 && next(3) == 0) {
        tokens.push_back(")");
        --open;
      }
      if (i + 1 < terms) tokens.push_back(ops[next(5)]);
    }
    while (open-- > 0) tokens.push_back(")");
    std::string text;
    for (const std::string& tok : tokens) text += tok + " ";
    const double want = Reference(tokens).Parse();
    const Value got = EvaluateText(text, ctx);
    ASSERT_TRUE(got.is_number()) << text;
    if (std::isfinite(want) && std::fabs(want) < 1e12) {
      ASSERT_NEAR(got.number(), want, 1e-6 * (1 + std::fabs(want))) << text;
    }
  }
}

TEST(GroupingTest, LogicalLevels) {
  test::FakeContext ctx;
  // Every combination of three logicals under .OR./.AND. with and without .NOT.
  for (int bits = 0; bits < 8; ++bits) {
    const bool a = bits & 1, b = bits & 2, c = bits & 4;
    auto lit = [](bool x) { return std::string(x ? ".T." : ".F."); };
    const std::string sa = lit(a), sb = lit(b), sc = lit(c);
    EXPECT_EQ(EvaluateText(sa + " .OR. " + sb + " .AND. " + sc, ctx),
              Value::Logical(a || (b && c)));
    EXPECT_EQ(EvaluateText(sa + " .AND. " + sb + " .OR. " + sc, ctx),
              Value::Logical((a && b) || c));
    EXPECT_EQ(EvaluateText(".NOT. " + sa + " .AND. " + sb, ctx), Value::Logical(!a && b));
    EXPECT_EQ(EvaluateText("!" + sa + " = " + sb, ctx), Value::Logical(!(a == b)));
    EXPECT_EQ(EvaluateText("IIF(" + sa + ", " + sb + ", " + sc + ")", ctx),
              Value::Logical(a ? b : c));
  }
}

}  // namespace
}  // namespace px::expr
