#pragma once

#include <memory>

namespace quenta {

// The one way to refer to an object that may be gone by the time deferred work runs: a task
// posted to the main queue, or a completion handed to a port, holds a WeakPtr instead of `this`
// and does nothing once the object has died. The object owns a WeakPtrFactory as its last member,
// so its pointers expire before any other member is destroyed.
//
// Thread rule: a WeakPtr may be copied and carried to any thread, but it is checked and followed
// only on the thread that destroys the object (the main thread), where the object cannot die
// between the check and the use.
template <class T>
class WeakPtr {
  public:
    WeakPtr() = default;

    // The object, or null once it is gone.
    [[nodiscard]] T* get() const { return alive_.expired() ? nullptr : object_; }
    explicit operator bool() const { return get() != nullptr; }

  private:
    template <class>
    friend class WeakPtrFactory;
    WeakPtr(std::weak_ptr<const void> alive, T* object)
        : alive_(std::move(alive)), object_(object) {}

    std::weak_ptr<const void> alive_;
    T* object_ = nullptr;
};

// Hands out WeakPtrs to its owner; they expire when the factory is destroyed.
template <class T>
class WeakPtrFactory {
  public:
    explicit WeakPtrFactory(T* owner) : owner_(owner) {}
    WeakPtrFactory(const WeakPtrFactory&) = delete;
    WeakPtrFactory& operator=(const WeakPtrFactory&) = delete;

    [[nodiscard]] WeakPtr<T> weakPtr() const { return WeakPtr<T>(alive_, owner_); }

  private:
    T* owner_;
    std::shared_ptr<const void> alive_ = std::make_shared<char>();
};

}  // namespace quenta
