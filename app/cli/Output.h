// Standard output as the commands write it: every piece is flushed and checked at once, so
// that a command ends at the first failed write (a full disk, a closed stream, a reader that
// has gone while SIGPIPE is ignored) instead of running on with nobody reading.
#pragma once

#include <ostream>
#include <string_view>

namespace cli {

class TOutput {
public:
    explicit TOutput(std::ostream& out) : out(out) {}

    // Writes and flushes text; false when this write or an earlier one failed (nothing
    // more is written then).
    bool Write(std::string_view text);
    bool Failed() const { return failed; }

private:
    std::ostream& out;
    bool failed = false;
};

// Tells on standard error that standard output cannot be written; returns ExitOutputFailed.
int OutputFailed(std::ostream& err);

} // namespace cli
