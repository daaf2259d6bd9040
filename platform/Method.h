#pragma once
// A bound method ("procedure of object"): an object and one of its member
// functions. Handler lists toggle registrations by the method's code alone, so
// two methods compare equal in SameCode when they name the same member
// function of the same class, whatever object they are bound to.
#include <cstring>
#include <functional>
#include <string>
#include <typeinfo>
#include <utility>

template <typename... Args>
class TMethod {
 public:
  TMethod() = default;

  template <typename C, typename M>
  TMethod(C* object, M member)
      : fn_([object, member](Args... args) { (object->*member)(std::forward<Args>(args)...); }),
        code_(CodeOf(member)),
        object_(object) {}

  // A free function or lambda: its code is the given key (tests, adapters).
  TMethod(std::string code, std::function<void(Args...)> fn)
      : fn_(std::move(fn)), code_(std::move(code)) {}

  explicit operator bool() const { return static_cast<bool>(fn_); }
  void operator()(Args... args) const { fn_(std::forward<Args>(args)...); }

  bool SameCode(const TMethod& other) const { return !code_.empty() && code_ == other.code_; }
  const void* Object() const { return object_; }
  const std::string& Code() const { return code_; }
  // Clears the method: a list entry holding it stays, inactive, and no longer
  // matches any registration.
  void Clear() {
    fn_ = nullptr;
    code_.clear();
    object_ = nullptr;
  }

 private:
  template <typename M>
  static std::string CodeOf(M member) {
    std::string code = typeid(M).name();
    const size_t at = code.size();
    code.resize(at + sizeof(M));
    std::memcpy(code.data() + at, &member, sizeof(M));
    return code;
  }

  std::function<void(Args...)> fn_;
  std::string code_;
  const void* object_ = nullptr;
};
