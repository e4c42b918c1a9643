#include "app/cli/Arguments.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace cli {

namespace {

// A day is far beyond any bench; it keeps the deadline arithmetic well inside range.
constexpr double MaxWaitSeconds = 86400.0;

std::optional<std::chrono::milliseconds> ParseSeconds(const std::string& text) {
    if (text.empty() || text.find_first_not_of("0123456789.") != std::string::npos) {
        return std::nullopt;
    }
    errno = 0;
    char* end = nullptr;
    const double seconds = std::strtod(text.c_str(), &end);
    if (errno != 0 || end != text.c_str() + text.size() || !std::isfinite(seconds) || seconds < 0 ||
        seconds > MaxWaitSeconds) {
        return std::nullopt;
    }
    return std::chrono::milliseconds(static_cast<long long>(std::ceil(seconds * 1000.0)));
}

TCommand CommandNamed(const std::string& name) {
    if (name == "list") {
        return TCommand::List;
    }
    if (name == "program") {
        return TCommand::Program;
    }
    if (name == "watch") {
        return TCommand::Watch;
    }
    return TCommand::None;
}

TParsed Failed(std::string error) {
    return TParsed{std::nullopt, std::move(error)};
}

} // namespace

TParsed ParseArguments(const std::vector<std::string>& args) {
    TArguments parsed;
    bool commandGiven = false;
    bool waitGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        std::optional<std::string> attached;
        if (arg.rfind("--", 0) == 0) {
            if (const auto equals = arg.find('='); equals != std::string::npos) {
                attached = arg.substr(equals + 1);
                arg.resize(equals);
            }
        }
        const auto value = [&]() -> std::optional<std::string> {
            if (attached) {
                return attached;
            }
            if (i + 1 < args.size()) {
                return args[++i];
            }
            return std::nullopt;
        };
        const auto takesNoValue = [&] {
            return !attached.has_value();
        };

        if ((arg == "--help" || arg == "-h") && takesNoValue()) {
            parsed.Help = true;
        } else if (arg == "--version" && takesNoValue()) {
            parsed.Version = true;
        } else if (arg == "--simulated" && takesNoValue()) {
            parsed.Simulated = true;
        } else if (arg == "--json" && takesNoValue()) {
            parsed.Json = true;
        } else if (arg == "--serial") {
            parsed.Serial = value();
            if (!parsed.Serial || parsed.Serial->empty()) {
                return Failed("--serial needs a serial number");
            }
        } else if (arg == "--path") {
            parsed.Path = value();
            if (!parsed.Path || parsed.Path->empty()) {
                return Failed("--path needs a device path");
            }
        } else if (arg == "--wait") {
            const auto text = value();
            const auto wait = text ? ParseSeconds(*text) : std::nullopt;
            if (!wait) {
                return Failed("--wait needs a number of seconds from 0 to 86400");
            }
            parsed.Wait = *wait;
            parsed.WaitText = *text;
            waitGiven = true;
        } else if (!arg.empty() && arg[0] == '-') {
            return Failed("unknown option '" + args[i] + "'");
        } else if (!commandGiven) {
            parsed.Command = CommandNamed(arg);
            if (parsed.Command == TCommand::None) {
                return Failed("unknown command '" + arg + "'");
            }
            commandGiven = true;
        } else {
            return Failed("unexpected argument '" + arg + "'");
        }
    }
    if (parsed.Help || parsed.Version) {
        return TParsed{parsed, {}};
    }
    if (parsed.Command == TCommand::None) {
        return Failed("no command given");
    }
    if (parsed.Json && parsed.Command == TCommand::Program) {
        return Failed("--json goes with list and watch");
    }
    if ((parsed.Serial || parsed.Path || waitGiven) && parsed.Command != TCommand::Program) {
        return Failed("--serial, --path and --wait go with program");
    }
    return TParsed{parsed, {}};
}

std::string Usage() {
    return "Usage: vuz-cli [--simulated] <command> [options]\n"
           "\n"
           "Puts a KVM switch into its firmware-programming mode through the VUZ Device,\n"
           "the USB HID programming adapter 0416:8249.\n"
           "\n"
           "Commands:\n"
           "  list [--json]        every HID device, one line each; the adapter is marked\n"
           "  program [--serial S] [--path P] [--wait SECONDS]\n"
           "                       write the enable-programmer report to the adapter (with\n"
           "                       --serial: the one with that serial number; with --path:\n"
           "                       the one at that path, as list prints it), waiting up\n"
           "                       to SECONDS for it to be plugged in (default 0; from 0\n"
           "                       to 86400, fractions allowed)\n"
           "  watch [--json]       print arrivals, removals and the adapter's input reports,\n"
           "                       with timestamps, until interrupted (Ctrl+C)\n"
           "\n"
           "Options:\n"
           "  --simulated          run on a simulated HID bus whose adapter DEMO0001 is\n"
           "                       plugged in about a second after start (no hardware)\n"
           "  --help               show this text\n"
           "  --version            show the version\n"
           "\n"
           "Exit codes:\n"
           "  0    done (program: the report was written)\n"
           "  1    no adapter (within the wait), or no HID devices can be seen at all\n"
           "  2    the write failed\n"
           "  3    several adapters and neither --serial nor --path (none is programmed)\n"
           "  4    several adapters match --serial (none is programmed; choose with --path)\n"
           "  64   bad usage (the usage is printed)\n"
           "  74   standard output cannot be written (ends at the first failed line)\n"
           "  130  interrupted (Ctrl+C; watch always ends so unless its output fails)\n";
}

} // namespace cli
