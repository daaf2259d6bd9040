#pragma once
// Where the log store shows what it is doing at shut-down (the database
// backup and clean-up). The splash window implements it; tests record it.
#include <string>

class ISplashProgress {
 public:
  virtual ~ISplashProgress() = default;
  // Shows Text, lets the window repaint, then waits Ms milliseconds.
  virtual void ShowStatus(const std::string& Text, unsigned Ms) = 0;
};
