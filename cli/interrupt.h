#pragma once
// SIGINT and SIGTERM as a request to stop: the handler only notes the
// signal; the run stops drawing at the next value, writes out every value
// already drawn as whole lines, and ends with 128 + the signal's number.

namespace pelmora::cli {

// Installs the handlers for SIGINT and SIGTERM (the executable does, not the
// in-process tests). Each handler serves once: a second signal of the same
// kind ends the process at once, as if the tool had not caught it.
void InstallStopHandlers();

// The signal that asked the run to stop, 0 while none has.
int StopSignal();

// Notes `signal` as a handler would (for the tests), or forgets it with 0.
void SetStopSignal(int signal);

}  // namespace pelmora::cli
