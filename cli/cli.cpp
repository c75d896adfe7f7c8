#include "cli/cli.h"

#include "cli/command.h"
#include "lekto/version.h"

#include <algorithm>
#include <optional>
#include <string_view>

namespace lekto::cli {
namespace {

void PrintHelp(std::ostream& out) {
  out << "usage: lekto-cli COMMAND ARGUMENTS [options]\n"
         "\n"
         "Reads a novel's table of contents from any site and works with its chapters.\n"
         "\n"
         "commands:\n";
  for (const Command& command : Commands()) {
    out << "  " << command.synopsis << "\n      " << command.summary << "\n";
  }
  out << "\n"
         "options, before or after the arguments (update takes the book's own switches and filters):\n"
         "  --transcode        switch on transcoding (the window's 转码)\n"
         "  --preprocess       switch on page pre-processing (the window's 预处理)\n"
         "  --filter PATTERN   a filter rule; repeatable, one rule each, all of them enabled (the window's 启用)\n"
         "  --help             show this text\n"
         "  --version          print the version\n"
         "\n"
         "exit status: 0 success, 1 nothing found, 2 bad usage, 3 download/update: some chapters failed\n"
         "             (listed), 130 download/update interrupted by Ctrl-C\n";
}

int GeneralUsageError(std::ostream& err, std::string_view message) {
  err << "lekto-cli: " << message << "\n"
      << "usage: lekto-cli COMMAND ARGUMENTS [options]; lekto-cli --help lists the commands\n";
  return kExitUsage;
}

const Command* FindCommand(std::string_view name) {
  for (const Command& command : Commands()) {
    if (command.name == name) return &command;
  }
  return nullptr;
}

bool TakesValue(const Command& command, std::string_view option) {
  return std::find(command.valueOptions.begin(), command.valueOptions.end(), option) != command.valueOptions.end();
}

bool IsFlag(const Command& command, std::string_view option) {
  return std::find(command.flagOptions.begin(), command.flagOptions.end(), option) != command.flagOptions.end();
}

// Any command's own option that takes a value: the command is not known before all arguments are read.
bool AnyCommandTakesValue(std::string_view option) {
  return std::any_of(Commands().begin(), Commands().end(),
                     [&](const Command& command) { return TakesValue(command, option); });
}

bool AnyCommandHasFlag(std::string_view option) {
  return std::any_of(Commands().begin(), Commands().end(),
                     [&](const Command& command) { return IsFlag(command, option); });
}

struct ParsedArgs {
  CommonOptions options;
  std::map<std::string, std::vector<std::string>, std::less<>> values;
  std::vector<std::string> positional;
  bool help = false;
  bool version = false;
};

// Options may stand before, between or after the positional arguments; "--" ends them. A value follows its
// option as the next argument or after "=".
std::optional<ParsedArgs> ParseArgs(const std::vector<std::string>& args, std::ostream& err) {
  ParsedArgs parsed;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--") {
      parsed.positional.insert(parsed.positional.end(), args.begin() + i + 1, args.end());
      break;
    }
    if (arg == "-h") {
      parsed.help = true;
      continue;
    }
    if (arg.size() < 2 || arg[0] != '-') {
      parsed.positional.push_back(arg);
      continue;
    }
    const std::size_t equals = arg.find('=');
    const std::string name = arg.substr(0, equals);
    const bool takesValue = name == "--filter" || AnyCommandTakesValue(name);
    if (!takesValue && equals != std::string::npos) {
      GeneralUsageError(err, name + " takes no value");
      return std::nullopt;
    }
    if (name == "--help") {
      parsed.help = true;
    } else if (name == "--version") {
      parsed.version = true;
    } else if (name == "--transcode") {
      parsed.options.transcode = true;
    } else if (name == "--preprocess") {
      parsed.options.preprocess = true;
    } else if (takesValue) {
      std::string value;
      if (equals != std::string::npos) {
        value = arg.substr(equals + 1);
      } else if (i + 1 < args.size()) {
        value = args[++i];
      } else {
        GeneralUsageError(err, name + " needs a value");
        return std::nullopt;
      }
      if (name == "--filter") {
        parsed.options.filters.push_back(std::move(value));
      } else {
        parsed.values[name].push_back(std::move(value));
      }
    } else if (AnyCommandHasFlag(name)) {
      parsed.values[name].push_back("");
    } else {
      GeneralUsageError(err, "unknown option " + name);
      return std::nullopt;
    }
  }
  return parsed;
}

}  // namespace

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  return RunCli(args, out, err, DefaultFetcher());
}

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, const Fetcher& fetch) {
  std::optional<ParsedArgs> parsed = ParseArgs(args, err);
  if (!parsed) return kExitUsage;
  if (parsed->help) {
    PrintHelp(out);
    return kExitOk;
  }
  if (parsed->version) {
    out << "lekto-cli " << kVersion << "\n";
    return kExitOk;
  }
  if (parsed->positional.empty()) return GeneralUsageError(err, "no command given");

  const Command* command = FindCommand(parsed->positional.front());
  if (!command) return GeneralUsageError(err, "unknown command " + parsed->positional.front());
  for (const auto& [option, values] : parsed->values) {
    if (!TakesValue(*command, option) && !IsFlag(*command, option))
      return GeneralUsageError(err, option + " does not apply to " + parsed->positional.front());
  }

  CommandContext context{*command,
                         std::vector<std::string>(parsed->positional.begin() + 1, parsed->positional.end()),
                         std::move(parsed->options),
                         std::move(parsed->values),
                         fetch,
                         out,
                         err};
  return command->run(context);
}

}  // namespace lekto::cli
