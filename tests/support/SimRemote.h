#pragma once
class TMainForm;

// Opens the remote dialog from the main window's Remote button and starts
// the server in it (the simulated program's --remote). The dialog stays open
// until the program ends.
void StartRemoteDialog(TMainForm& Form);
