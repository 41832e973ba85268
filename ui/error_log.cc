#include "ui/error_log.h"

#include <cstdio>

#include "runtime/date_text.h"
#include "runtime/memvars.h"
#include "ui/messages.h"

namespace px {

namespace {

constexpr char kEol[] = "\r\n";

std::string Pad(std::string s, size_t width) {
  if (s.size() < width) s.append(width - s.size(), ' ');
  return s;
}

std::string Str(int64_t n, size_t width) {
  std::string s = std::to_string(n);
  if (s.size() < width) s.insert(0, width - s.size(), ' ');
  return s;
}

std::string TwoDigits(int n) {
  char buf[16];
  std::snprintf(buf, sizeof(buf), "%02d", n);
  return buf;
}

std::string Clock(int64_t seconds) {
  return TwoDigits(static_cast<int>(seconds / 3600)) + ":" +
         TwoDigits(static_cast<int>(seconds / 60 % 60)) + ":" +
         TwoDigits(static_cast<int>(seconds % 60));
}

void Heading(std::string* out, const std::string& title) {
  if (!out->empty()) *out += kEol;
  *out += title + kEol + std::string(title.size(), '=') + kEol;
}

std::string CompilerText() {
#if defined(__clang__)
  return std::string("Clang ") + __clang_version__;
#elif defined(__GNUC__)
  return std::string("GCC ") + __VERSION__;
#else
  return "C++ compiler";
#endif
}

}  // namespace

std::string GroupedNumber(int64_t n, size_t width) {
  const bool negative = n < 0;
  std::string digits = std::to_string(negative ? -n : n);
  std::string out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  if (negative) out.insert(0, "-");
  if (out.size() < width) out.insert(0, width - out.size(), ' ');
  return out;
}

std::string LogValueText(const Value& v) {
  if (v.is_object() && v.object() != nullptr) return v.object()->ClassName();
  return MessageText(v);
}

std::vector<std::string> StackLines(const std::vector<CallFrame>& stack) {
  std::vector<std::string> lines;
  for (const CallFrame& f : stack) {
    if (f.name.empty()) continue;
    if (lines.size() == 72) break;
    lines.push_back("   Called from " + f.name + "(" + std::to_string(f.line) + ")");
  }
  return lines;
}

ErrorLogFacts GatherErrorLogFacts() {
  ErrorLogFacts f;
  f.program = ReadProgramInfo();
  f.system = ReadSystemInfo();
  f.time = GetEnv()->Now();
  f.date = Today();
  f.compiler = CompilerText();
  f.stack = CallStack();
  f.memvars = GetMemVars().List();
  f.classes = {"ERROR", "TFONT", "TWINDOW", "TDIALOG", "TSAY", "TGET", "TBUTTON", "TLISTBOX"};
  GatherWorkAreaFacts(&f);
  return f;
}

std::string BuildErrorLog(const Error& e, const ErrorLogFacts& f) {
  std::string out;
  Heading(&out, "Application");
  out += "   Path and name: " + f.program.path + " (" + std::to_string(f.program.bits) + " bits)" +
         kEol;
  out += "   Size: " + GroupedNumber(f.program.size) + " bytes" + kEol;
  out += "   Time from start: " + Clock(static_cast<int64_t>(f.program.seconds_running)) + kEol;
  out += "   Error occurred at: " + DateToText(f.date) + ", " + TwoDigits(f.time.hour) + ":" +
         TwoDigits(f.time.minute) + ":" + TwoDigits(f.time.second) + kEol;
  out += "   Error description: " + ERRORMESSAGE(e) + kEol;
  if (e.has_args || !e.args.empty()) {
    out += std::string("   Args:") + kEol;
    for (size_t i = 0; i < e.args.size(); ++i) {
      out += "     [" + Str(static_cast<int64_t>(i + 1), 4) + "] = " + e.args[i].TypeLetter() +
             "   " + LogValueText(e.args[i]) + kEol;
    }
  }

  Heading(&out, "Stack Calls");
  for (const std::string& line : StackLines(f.stack)) out += line + kEol;

  Heading(&out, "System");
  out +=
      "   CPU type: " + f.system.cpu_name + " " + std::to_string(f.system.cpu_mhz) + " Mhz" + kEol;
  out += "   Hardware memory: " + std::to_string(f.system.memory_mb) + " megs" + kEol;
  out += kEol;
  out += "   Free System resources: " + std::to_string(f.system.memory_free_percent) + " %" + kEol;
  out += "        GDI    resources: " + std::to_string(f.system.handles_free_percent) + " %" + kEol;
  out += "        User   resources: " + std::to_string(f.system.tasks_free_percent) + " %" + kEol;
  out += kEol;
  out += "   Compiler version: " + f.compiler + kEol;
  out += "   Windows version: " + std::to_string(f.system.os_major) + "." +
         std::to_string(f.system.os_minor) + ", Build " + f.system.os_release + " " +
         f.system.os_version + kEol;
  out += kEol;
  out += "   Windows total applications running: " + std::to_string(f.system.tasks.size()) + kEol;
  for (size_t i = 0; i < f.system.tasks.size(); ++i) {
    out += "    " + Str(static_cast<int64_t>(i + 1), 3) + " " + f.system.tasks[i] + kEol;
  }

  Heading(&out, "Variables in use");
  out += std::string("    Procedure     Type   Value") + kEol;
  out += std::string("    ==========================") + kEol;
  for (const CallFrame& frame : f.stack) {
    if (!frame.name.empty()) out += "    " + frame.name + kEol;
  }
  if (!f.memvars.empty()) out += std::string("    (memory variables)") + kEol;
  for (size_t i = 0; i < f.memvars.size(); ++i) {
    const Value& v = f.memvars[i].second;
    out += "     Memvar " + Str(static_cast<int64_t>(i + 1), 3) + ":    " + v.TypeLetter() +
           "    " + Pad(f.memvars[i].first, 12) + " " + LogValueText(v) + kEol;
  }

  Heading(&out, "Linked RDDs");
  for (const std::string& d : f.drivers) out += "   " + d + kEol;

  Heading(&out, "DataBases in use");
  for (const AreaFacts& a : f.areas) {
    out += kEol;
    out += Str(a.number, 3) + ": " + (a.selected ? "=> " : "   ") + Pad(a.alias, 15) +
           std::string(20, ' ') + "RddName: " + a.driver + kEol;
    out += std::string("     ==============================") + kEol;
    out += std::string("     RecNo    RecCount    BOF   EOF") + kEol;
    out += "     " + Str(a.recno, 5) + "      " + Str(a.reccount, 5) + "      " +
           (a.bof ? ".T." : ".F.") + "   " + (a.eof ? ".T." : ".F.") + kEol;
    out += kEol;
    out += "     Indexes in use " + std::string(23, ' ') + "TagName" + kEol;
    for (const AreaFacts::Order& o : a.orders) {
      out += std::string(8, ' ') + (o.controlling ? "=> " : "   ") + Pad(o.key, 35) + o.name + kEol;
    }
    out += kEol;
    out += std::string("     Relations in use") + kEol;
    for (const std::string& r : a.relations) out += "     " + r + kEol;
  }

  Heading(&out, "Classes in use:");
  for (size_t i = 0; i < f.classes.size(); ++i) {
    out += "   " + Str(static_cast<int64_t>(i + 1), 3) + " " + f.classes[i] + kEol;
  }

  Heading(&out, "Memory Analysis");
  out += "      " + std::to_string(f.memvars.size()) + " Static variables" + kEol;
  out += kEol;
  out += std::string("   Dynamic memory consume:") + kEol;
  out += "      Actual  Value: " + GroupedNumber(f.program.memory_bytes, 0) + " bytes" + kEol;
  out += "      Highest Value: " + GroupedNumber(f.program.peak_memory_bytes, 0) + " bytes" + kEol;
  return out;
}

}  // namespace px
