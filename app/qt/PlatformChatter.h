// Keeps the notices that a Qt platform plugin prints about itself (the offscreen platform's
// "This plugin does not support propagateSizeHints()", the missing XDG_RUNTIME_DIR) off
// the program's output; every other message, real warnings included, still goes out.
#pragma once

#include <QString>

namespace qtview {

// Whether a message is such a notice.
bool IsPlatformChatter(const QString& message);

// Installs the filter in front of the message handler in place. Call before the
// application object is created: some of the notices come from its construction.
void FilterPlatformChatter();

} // namespace qtview
