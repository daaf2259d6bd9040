#pragma once
// The table of named values the remote server sends to its client. GUI-side
// producers set values as they change; the server collects only what changed
// since its last collection, as "name=value&" for each changed variable.
//
// Producers and the server's threads share one table, so every operation
// takes the table's own lock: callers need no locking of their own and may
// call from any thread.
#include <mutex>
#include <string>
#include <vector>

struct TRemoteEvent {
  std::string Name;
  std::string Value;
  bool Changed = false;
  // The value is emptied once it has been collected (accumulating lists such
  // as the scan points, which the client must receive only once).
  bool ClearAfterSend = false;
};

class TRemoteObject {
 public:
  TRemoteObject() = default;
  TRemoteObject(const TRemoteObject&) = delete;
  TRemoteObject& operator=(const TRemoteObject&) = delete;

  // Position of the variable with that name (exact, case-sensitive), -1 when absent.
  int IndexOf(const std::string& Name) const;
  // A new value marks the variable changed; the same value leaves it alone.
  // ClearAfterSend is taken over in every case. An unknown name is appended,
  // marked changed.
  void SetVar(const std::string& Name, const std::string& Value, bool ClearAfterSend);
  // Adds Value to the variable's list ("old!new"), marks it changed and
  // clear-after-send; an unknown name is appended with Value alone.
  void AppendVar(const std::string& Name, const std::string& Value);
  // Removes every variable.
  void Clear();
  // "name=value&" for every changed variable in table order ("" when nothing
  // changed). Reset clears the changed marks; the values of clear-after-send
  // variables are emptied by every collection, with or without Reset.
  std::string GetChanges(bool Reset);

  // A copy of the table, in insertion order.
  std::vector<TRemoteEvent> Vars() const;

 private:
  int IndexOfLocked(const std::string& Name) const;

  mutable std::mutex Lock;
  std::vector<TRemoteEvent> Vars_;
};
