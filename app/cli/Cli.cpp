#include "app/cli/Cli.h"

#include "app/cli/Arguments.h"
#include "app/cli/Commands.h"
#include "app/cli/Diagnostics.h"
#include "app/cli/Output.h"
#include "app/cli/Session.h"

namespace cli {

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           const TCliContext& context) {
    const TParsed parsed = ParseArguments(args);
    if (!parsed.Arguments) {
        err << "vuz-cli: " << parsed.Error << "\n\n" << Usage();
        return ExitBadUsage;
    }
    const TArguments& arguments = *parsed.Arguments;
    if (arguments.Help || arguments.Version) {
        const std::string text =
            arguments.Help ? Usage() : std::string("vuz-cli ") + Version + '\n';
        return TOutput(out).Write(text) ? 0 : OutputFailed(err);
    }

    TSession session(context, arguments.Simulated);
    if (const auto missing = MissingHidSupport()) {
        err << "vuz-cli: " << *missing << '\n';
        return ExitNoAdapter;
    }
    if (!session.HidAvailable()) {
        err << "vuz-cli: the system's HID services cannot be used (SetupApi.dll and HID.dll "
               "could not be loaded, or no device notifications can be received).\n";
        return ExitNoAdapter;
    }
    switch (arguments.Command) {
    case TCommand::List:
        return ListDevices(session, arguments, out, err);
    case TCommand::Program:
        return ProgramAdapter(session, arguments, out, err);
    case TCommand::Watch:
        return WatchDevices(session, arguments, out, err);
    case TCommand::None:
        break;
    }
    return ExitBadUsage;
}

} // namespace cli
