// Termination requests for long-running tools: a program that serves until it is
// told to stop blocks SIGINT and SIGTERM before it starts any thread (threads
// inherit the mask, so none of them is interrupted) and then waits for one of them
// on its main thread.
#pragma once

namespace platform {

// Blocks SIGINT and SIGTERM for the calling thread and every thread it starts
// afterwards. False when the mask cannot be changed.
bool BlockTerminationSignals();

// Waits until SIGINT or SIGTERM is delivered and returns its number; call after
// BlockTerminationSignals. Returns -1 when waiting is impossible.
int WaitForTerminationSignal();

}  // namespace platform
