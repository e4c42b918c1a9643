#include "app/cli/Output.h"

#include "app/cli/Cli.h"

namespace cli {

bool TOutput::Write(std::string_view text) {
    if (failed) {
        return false;
    }
    out << text;
    out.flush();
    failed = out.fail();
    return !failed;
}

int OutputFailed(std::ostream& err) {
    err << "vuz-cli: cannot write to standard output.\n";
    err.flush();
    return ExitOutputFailed;
}

} // namespace cli
