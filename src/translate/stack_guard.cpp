// The stack guard: the calling thread's stack bounds come from glibc; where
// they cannot be had, a depth limit tied to the interpreter's recursion limit
// stands in.
#include "translate/stack_guard.h"

#include <Python.h>
#include <pthread.h>

#include <algorithm>

namespace zarnu::translate {

namespace {

// Stack kept free below the deepest translation frame, for the interpreter's
// work at that depth (allocating a node may run the cycle collector) and for
// the frames that sanitizer builds inflate.
constexpr size_t kMargin = 256 * 1024;

// Translation levels allowed per unit of the interpreter's recursion limit
// when the stack bounds are unknown: 4000 by default, about 1.5 MiB of stack
// in an optimised build.
constexpr size_t kLevelsPerRecursionUnit = 4;

struct StackBounds {
  uintptr_t low = 0;
  uintptr_t high = 0;

  bool contains(uintptr_t address) const {
    return low < address && address < high;
  }
};

// Asking glibc costs a read of /proc/self/maps on the main thread, so each
// thread asks once.
thread_local StackBounds thread_stack;

bool query_stack_bounds(StackBounds& out) {
#if defined(__GLIBC__)
  pthread_attr_t attr;
  if (pthread_getattr_np(pthread_self(), &attr) != 0) return false;
  void* base = nullptr;
  size_t size = 0;
  const int status = pthread_attr_getstack(&attr, &base, &size);
  pthread_attr_destroy(&attr);
  if (status != 0 || base == nullptr || size == 0) return false;
  out.low = reinterpret_cast<uintptr_t>(base);
  out.high = out.low + size;
  return true;
#elif defined(__APPLE__)
  pthread_t self = pthread_self();
  out.high = reinterpret_cast<uintptr_t>(pthread_get_stackaddr_np(self));
  out.low = out.high - pthread_get_stacksize_np(self);
  return out.low < out.high;
#else
  (void)out;
  return false;
#endif
}

inline uintptr_t current_frame() {
  return reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
}

}  // namespace

StackGuard::StackGuard() {
  const uintptr_t here = current_frame();
  // A thread that runs on a stack of its own making (a coroutine library,
  // say) is not where glibc says; the depth limit serves it.
  if (!thread_stack.contains(here)) {
    StackBounds bounds;
    thread_stack = query_stack_bounds(bounds) ? bounds : StackBounds{};
  }
  if (thread_stack.contains(here)) {
    const size_t size = thread_stack.high - thread_stack.low;
    floor_ = thread_stack.low + std::min(kMargin, size / 2);
  } else {
    const int limit = std::max(Py_GetRecursionLimit(), 1);
    max_depth_ = static_cast<size_t>(limit) * kLevelsPerRecursionUnit;
  }
}

void StackGuard::enter() {
  const bool exhausted =
      floor_ != 0 ? current_frame() < floor_ : depth_ >= max_depth_;
  if (exhausted) throw DepthExceeded{};
  ++depth_;
}

}  // namespace zarnu::translate
