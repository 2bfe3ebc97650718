// UninitializedVector: a std::vector whose resize leaves new elements of trivial types unset, for
// large buffers that are filled right after: zeroing them first would cost a pass over memory on
// one thread before the threads that fill them can start.
#pragma once

#include <memory>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

namespace terravox {

template <typename T>
class DefaultInitAllocator : public std::allocator<T> {
 public:
  template <typename U>
  struct rebind {
    using other = DefaultInitAllocator<U>;
  };
  using std::allocator<T>::allocator;

  // Default-initialises: nothing at all for trivial types.
  template <typename U>
  void construct(U* p) noexcept(std::is_nothrow_default_constructible_v<U>) {
    ::new (static_cast<void*>(p)) U;
  }
  template <typename U, typename... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }
};

template <typename T>
using UninitializedVector = std::vector<T, DefaultInitAllocator<T>>;

// Bytes read from a file or formatted for one: growing the buffer does not zero what is written
// over right after.
using ByteBuffer = UninitializedVector<char>;

}  // namespace terravox
