// Thread starts made to fail on purpose, as the system fails them when it cannot create a
// thread, so that what depends on a thread start can be tried on that path.
#pragma once

namespace runtime {

// The next count thread starts (TThread::Resume, TThread::StartFreeOnTerminate) throw
// std::system_error (resource_unavailable_try_again) without creating a thread. Any thread.
void FailNextThreadStarts(int count);

} // namespace runtime
