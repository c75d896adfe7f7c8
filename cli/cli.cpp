#include "cli/cli.h"

#include "cli/command.h"
#include "http/cookie_file.h"
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
         "options of every command:\n"
         "  --browser WHEN     read pages in a browser (Qt WebEngine, offscreen): auto (the default) where a\n"
         "                     page is built by script or shows a browser check, always, or never\n"
         "  --cookies FILE     send the cookies of FILE (Netscape cookies.txt) to the sites they belong to\n"
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
    const bool takesValue =
        name == "--filter" || name == "--browser" || name == "--cookies" || AnyCommandTakesValue(name);
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
      } else if (name == "--browser") {
        if (value == "auto") {
          parsed.options.browser = BrowserUse::kAuto;
        } else if (value == "always") {
          parsed.options.browser = BrowserUse::kAlways;
        } else if (value == "never") {
          parsed.options.browser = BrowserUse::kNever;
        } else {
          GeneralUsageError(err, "--browser takes auto, always or never");
          return std::nullopt;
        }
      } else if (name == "--cookies") {
        parsed.options.cookieFile = std::move(value);
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

int RunCliWith(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, const Fetcher& plainFetch,
               PageBrowser builtIn) {
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
  const BrowserChoice browser{parsed->options.browser, std::move(builtIn)};
  if (browser.use == BrowserUse::kAlways && !browser.read) {
    return GeneralUsageError(err, "--browser always: this build of lekto-cli has no browser engine");
  }
  if (!parsed->options.cookieFile.empty()) {
    std::string problem;
    if (!http::LoadCookieFile(parsed->options.cookieFile, &problem)) return GeneralUsageError(err, problem);
  }
  const Fetcher fetch = FetchThroughBrowser(plainFetch, browser);

  CommandContext context{*command,
                         std::vector<std::string>(parsed->positional.begin() + 1, parsed->positional.end()),
                         std::move(parsed->options),
                         std::move(parsed->values),
                         fetch,
                         browser,
                         out,
                         err};
  return command->run(context);
}

}  // namespace

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  return RunCliWith(args, out, err, DefaultFetcher(), BuiltInBrowser());
}

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, const Fetcher& fetch) {
  // Pages served from memory are never read by a browser, which would fetch them from the network.
  return RunCliWith(args, out, err, fetch, {});
}

}  // namespace lekto::cli
