// The call-stack registry: the named steps the program is in, innermost last.
//
// The error log lists where an error arose as "Called from NAME(LINE)" lines. C++ has
// no portable stack of named routines, so the update driver names its steps itself:
// a CallStep pushes a frame for its lifetime (non-local exits pop it too).
#ifndef PX_RUNTIME_CALL_STACK_H_
#define PX_RUNTIME_CALL_STACK_H_

#include <string>
#include <vector>

namespace px {

struct CallFrame {
  std::string name;  // upper-case routine name, e.g. "UPDATE1"
  int line = 0;      // line within it, 0 when unknown
};

// Pushes a frame for the life of the object.
class CallStep {
 public:
  explicit CallStep(std::string name, int line = 0);
  ~CallStep();
  CallStep(const CallStep&) = delete;
  CallStep& operator=(const CallStep&) = delete;
  // Updates the line of this frame (the step's progress).
  void set_line(int line);

 private:
  size_t depth_;
};

// The active frames, innermost first.
std::vector<CallFrame> CallStack();

}  // namespace px

#endif  // PX_RUNTIME_CALL_STACK_H_
