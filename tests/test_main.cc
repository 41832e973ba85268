// Entry point of every test program: registers the engine's drivers once and gives
// each test a fresh process state (settings, variables, handler, work areas) and its
// own scratch folder as the current folder.
#include <gtest/gtest.h>

#include <cstdlib>

#include "engine/engine.h"
#include "engine/workarea/registry.h"
#include "runtime/process_state.h"
#include "tests/forked_process.h"

namespace {

class ProcessStateReset : public testing::EmptyTestEventListener {
  void OnTestStart(const testing::TestInfo&) override {
    px::ResetProcessStateForTesting();
    px::ResetWorkAreasForTesting();
  }
  // Tables still open are closed before the settings and the handler go back.
  void OnTestEnd(const testing::TestInfo&) override {
    px::ResetWorkAreasForTesting();
    px::ResetProcessStateForTesting();
  }
};

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  px::InitEngine();
  testing::UnitTest::GetInstance()->listeners().Append(new ProcessStateReset);
  const int result = RUN_ALL_TESTS();
  // A Windows child replaying a test ends in its ForkedProcess; getting here means it
  // never got there.
  if (std::getenv("PX_FORK_ROLE") != nullptr) return px::test::kNeverStarted;
  return result;
}
