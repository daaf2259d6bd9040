#pragma once
// The main window's side of the remote dialog.
class TMainForm;

// Shows the remote dialog modally (the main window's Remote button).
void ShowRemoteDialog(TMainForm& Main);
// Ends the remote dialog when it is open; its servers stop.
void EndRemoteDialog(TMainForm& Main);
