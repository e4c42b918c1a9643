// The three commands, each on a session that is set up and checked.
#pragma once

#include "app/cli/Arguments.h"
#include "app/cli/Session.h"

#include <ostream>

namespace cli {

int ListDevices(TSession& session, const TArguments& arguments, std::ostream& out,
                std::ostream& err);
int ProgramAdapter(TSession& session, const TArguments& arguments, std::ostream& out,
                   std::ostream& err);
int WatchDevices(TSession& session, const TArguments& arguments, std::ostream& out,
                 std::ostream& err);

} // namespace cli
