#pragma once
// Holds one reference to a COM object and releases it once when it goes out of scope, on every way
// out, processor faults included. Holders declared in order of creation release in reverse order.

#include <utility>

namespace morvit {

template <typename Interface>
class ComReference {
 public:
  ComReference() = default;
  // A reference of its own to an object the caller holds: AddRef now, Release on scope exit.
  static ComReference Share(Interface* object) {
    if (object != nullptr) object->AddRef();
    ComReference reference;
    reference.object_ = object;
    return reference;
  }
  ~ComReference() { Reset(); }
  ComReference(ComReference&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  ComReference& operator=(ComReference&& other) noexcept {
    if (this != &other) {
      Reset();
      object_ = std::exchange(other.object_, nullptr);
    }
    return *this;
  }
  ComReference(const ComReference&) = delete;
  ComReference& operator=(const ComReference&) = delete;

  Interface* Get() const { return object_; }
  Interface* operator->() const { return object_; }
  explicit operator bool() const { return object_ != nullptr; }

  // For a creation call's out parameter; whatever was held is released first.
  Interface** Put() {
    Reset();
    return &object_;
  }

  void Reset() {
    if (object_ != nullptr) std::exchange(object_, nullptr)->Release();
  }

 private:
  Interface* object_ = nullptr;
};

}  // namespace morvit
