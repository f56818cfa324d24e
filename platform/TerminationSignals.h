#pragma once

namespace kestrun {

/// Makes SIGTERM, SIGINT and SIGHUP ask Kestrun to end rather than end it on
/// the spot: typing stops between two keys and leaves the keyboard as it
/// found it, a run stops before its next task, and the application quits the
/// way "Quit Kestrun" does. Call once, early; later calls do nothing.
void CatchTerminationSignals();

/// Whether one of those signals has come.
bool TerminationRequested();

/// A descriptor that becomes readable when one has come, for an event loop
/// to watch (read it empty once woken); -1 before CatchTerminationSignals.
int TerminationDescriptor();

}  // namespace kestrun
