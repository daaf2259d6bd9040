#pragma once
// The end of the database client in a process that is about to end.

namespace fb {

// Ends the client library's and the embedded engine's threads (waiting up to
// TimeoutMs for them) before the process ends: a process that exits while
// they still start or stop has its exit-time checks (the leak check among
// them) run over threads half made or half gone. Attachments still open are
// cut. Harmless when nothing was ever attached.
void ShutdownClient(unsigned TimeoutMs = 10000);

}  // namespace fb
