#include "runtime/call_stack.h"

#include "runtime/process_state.h"

namespace px {

CallStep::CallStep(std::string name, int line) {
  std::vector<CallFrame>& stack = GetProcessState().call_stack;
  depth_ = stack.size();
  stack.push_back({std::move(name), line});
}

CallStep::~CallStep() {
  std::vector<CallFrame>& stack = GetProcessState().call_stack;
  // Frames above ours belong to steps that ended without unwinding (a reset of the
  // process state in tests); drop them with ours.
  if (stack.size() > depth_) stack.resize(depth_);
}

void CallStep::set_line(int line) {
  std::vector<CallFrame>& stack = GetProcessState().call_stack;
  if (depth_ < stack.size()) stack[depth_].line = line;
}

std::vector<CallFrame> CallStack() {
  const std::vector<CallFrame>& stack = GetProcessState().call_stack;
  return std::vector<CallFrame>(stack.rbegin(), stack.rend());
}

}  // namespace px
