#include "ui/RemoteObject.h"

int TRemoteObject::IndexOfLocked(const std::string& Name) const {
  for (size_t i = 0; i < Vars_.size(); ++i)
    if (Vars_[i].Name == Name) return static_cast<int>(i);
  return -1;
}

int TRemoteObject::IndexOf(const std::string& Name) const {
  std::lock_guard<std::mutex> guard(Lock);
  return IndexOfLocked(Name);
}

void TRemoteObject::SetVar(const std::string& Name, const std::string& Value, bool ClearAfterSend) {
  std::lock_guard<std::mutex> guard(Lock);
  const int i = IndexOfLocked(Name);
  if (i < 0) {
    Vars_.push_back({Name, Value, true, ClearAfterSend});
    return;
  }
  TRemoteEvent& var = Vars_[i];
  if (var.Value != Value) {
    var.Value = Value;
    var.Changed = true;
  }
  var.ClearAfterSend = ClearAfterSend;
}

void TRemoteObject::AppendVar(const std::string& Name, const std::string& Value) {
  std::lock_guard<std::mutex> guard(Lock);
  const int i = IndexOfLocked(Name);
  if (i < 0) {
    Vars_.push_back({Name, Value, true, true});
    return;
  }
  TRemoteEvent& var = Vars_[i];
  var.Value += "!";
  var.Value += Value;
  var.Changed = true;
  var.ClearAfterSend = true;
}

void TRemoteObject::Clear() {
  std::lock_guard<std::mutex> guard(Lock);
  Vars_.clear();
}

std::string TRemoteObject::GetChanges(bool Reset) {
  std::lock_guard<std::mutex> guard(Lock);
  std::string text;
  for (TRemoteEvent& var : Vars_) {
    if (!var.Changed) continue;
    text += var.Name;
    text += '=';
    text += var.Value;
    text += '&';
    if (Reset) var.Changed = false;
    if (var.ClearAfterSend) var.Value.clear();
  }
  return text;
}

std::vector<TRemoteEvent> TRemoteObject::Vars() const {
  std::lock_guard<std::mutex> guard(Lock);
  return Vars_;
}
