#pragma once
#include <functional>
#include <string>

class TMainForm;

// Opens the remote dialog from the main window's Remote button and starts
// the server in it (the simulated program's --remote). The dialog stays open
// until the program ends. Started gets the address the dialog shows once the
// server runs.
void StartRemoteDialog(TMainForm& Form, std::function<void(const std::string& Address)> Started = nullptr);
