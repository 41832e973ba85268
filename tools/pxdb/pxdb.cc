#include "tools/pxdb/pxdb.h"

#include <CLI/CLI.hpp>
#include <exception>
#include <iostream>
#include <memory>
#include <utility>

#include "app/driver/rename_journal.h"
#include "engine/engine.h"
#include "tools/pxdb/command.h"
#include "tools/pxdb/command_examples.h"
#include "tools/pxdb/table_access.h"
#include "tools/version.h"

namespace px::pxdb {

int RunPxdb(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
            std::ostream& err) {
  Io io{in, out, err};
  try {
    InitEngine();
    CLI::App app("pxdb: looks into and repairs the tables of a Parvex installation", "pxdb");
    // One option syntax everywhere: an argument starting with "/" is a path (on Windows
    // the library would otherwise take it for an option). Set before the commands are
    // added, which take it over.
    app.allow_windows_style_options(false);
    app.require_subcommand(1, 1);
    app.set_version_flag("--version", std::string("pxdb ") + kToolsVersion);
    app.fallthrough();  // global options may also follow the command
    GlobalOptions options;
    app.add_flag("--shared", options.shared,
                 "open tables shared, as while the application is running");

    std::vector<std::pair<CLI::App*, std::unique_ptr<Command>>> commands;
    for (const CommandInfo& info : CommandTable()) {
      CLI::App* sub = app.add_subcommand(info.name, info.summary);
      std::unique_ptr<Command> command = info.make();
      command->Define(*sub);
      if (const char* example = CommandExample(info.name)) {
        const std::string notes = sub->get_footer();
        sub->footer(notes + (notes.empty() ? "" : "\n\n") + "Example:\n  " + example);
      }
      commands.emplace_back(sub, std::move(command));
    }

    std::vector<const char*> argv = {"pxdb"};
    for (const std::string& a : args) argv.push_back(a.c_str());
    try {
      app.parse(static_cast<int>(argv.size()), argv.data());
    } catch (const CLI::ParseError& e) {
      if (e.get_exit_code() == 0) return app.exit(e, out, err);  // --help, --version
      Fail(io, e.what());
      return 2;
    }
    // Tables that a restore or an update was putting in place in this folder when it
    // was stopped are finished before any command reads them, as pxupdate does. A
    // command line that only asks for help leaves the folder alone.
    if (!CompletePendingRenames("")) {
      err << "pxdb: unfinished renames listed in " << kRenameJournal << " could not be completed\n";
    }
    for (auto& [sub, command] : commands) {
      if (sub->parsed()) return command->Run(options, io);
    }
    return Fail(io, "no command given");
  } catch (const std::exception& e) {
    return Fail(io, e.what());
  } catch (...) {
    return Fail(io, "unexpected failure");
  }
}

}  // namespace px::pxdb
