#pragma once
// A word shared between threads: one writer at a time, readers accept a stale value.
// std::atomic with relaxed ordering makes those plain word stores well-defined.
#include <atomic>

namespace orvane {

template <class T>
class Relaxed {
public:
    static_assert(std::atomic<T>::is_always_lock_free, "shared words must be lock-free");
    constexpr Relaxed(T initial = T{}) noexcept : value_(initial) {}
    Relaxed(const Relaxed&) = delete;
    Relaxed& operator=(const Relaxed&) = delete;

    T load() const noexcept { return value_.load(std::memory_order_relaxed); }
    void store(T v) noexcept { value_.store(v, std::memory_order_relaxed); }
    operator T() const noexcept { return load(); }
    Relaxed& operator=(T v) noexcept {
        store(v);
        return *this;
    }

private:
    std::atomic<T> value_;
};

}  // namespace orvane
