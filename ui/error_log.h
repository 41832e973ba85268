// The text of the error log "Error.log".
//
// The log has these sections, each a heading with an underline of "=": Application
// (program, size, time from start, when, the error's message text and arguments),
// Stack Calls (the driver's named steps), System (processor, memory, resources,
// compiler, operating system, running programs), Variables in use, Linked RDDs,
// DataBases in use (every work area with its orders), Classes in use and Memory
// Analysis. Lines end in CR LF.
//
// The figures are gathered first (GatherErrorLogFacts) and then formatted
// (BuildErrorLog), so that the format can be tried on known figures.
#ifndef PX_UI_ERROR_LOG_H_
#define PX_UI_ERROR_LOG_H_

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "runtime/call_stack.h"
#include "runtime/env.h"
#include "runtime/error.h"
#include "runtime/system_info.h"
#include "runtime/value.h"

namespace px {

// One open work area as the log shows it.
struct AreaFacts {
  struct Order {
    std::string key;
    std::string name;
    bool controlling = false;
  };
  int number = 0;
  bool selected = false;
  std::string alias;
  std::string driver;
  uint32_t recno = 0;
  uint32_t reccount = 0;
  bool bof = false;
  bool eof = false;
  std::vector<Order> orders;           // orders 1 to 15
  std::vector<std::string> relations;  // "TO expression INTO alias"
};

struct ErrorLogFacts {
  ProgramInfo program;
  SystemInfo system;
  int32_t date = 0;  // Julian day
  LocalTime time;
  std::string compiler;
  std::vector<CallFrame> stack;  // innermost first
  std::vector<std::pair<std::string, Value>> memvars;
  std::vector<std::string> drivers;
  std::vector<AreaFacts> areas;
  std::vector<std::string> classes;
};

ErrorLogFacts GatherErrorLogFacts();
// The open work areas (from the work-area registry) and the registered drivers.
void GatherWorkAreaFacts(ErrorLogFacts* facts);

std::string BuildErrorLog(const Error& e, const ErrorLogFacts& facts);

// The "   Called from NAME(LINE)" lines of a call stack, innermost first, at most 72.
std::vector<std::string> StackLines(const std::vector<CallFrame>& stack);

// A number with thousands separators, right-aligned in at least `width` columns
// (the picture "9,999,999"; larger numbers widen the field instead of overflowing).
std::string GroupedNumber(int64_t n, size_t width = 9);

// A value as the log shows it: the message-box text, objects by their class name.
std::string LogValueText(const Value& v);

}  // namespace px

#endif  // PX_UI_ERROR_LOG_H_
