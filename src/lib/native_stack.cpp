// The calling thread's stack bounds come from the C library; where they
// cannot be had, the translation falls back to a depth limit tied to the
// interpreter's recursion limit, and the walks to the interpreter's own
// level count.
#include "lib/native_stack.h"

#include <Python.h>
#include <pthread.h>

#include <algorithm>

namespace zarnu {

namespace {

// Stack kept free below the deepest translation frame (see
// native_stack_floor); on a small stack, half of it instead.
constexpr size_t kTranslationMargin = 256 * 1024;

// The same for the walks: between two of their checks run only a few frames
// of the interpreter's, or one call of caller code, so they keep what the
// interpreter itself keeps free from 3.14 on (a quarter on a small stack).
constexpr size_t kWalkMargin = 64 * 1024;

// Translation levels allowed per unit of the interpreter's recursion limit
// when the stack bounds are unknown: 4000 by default, about 1.5 MiB of stack
// in an optimised build.
constexpr size_t kLevelsPerRecursionUnit = 4;

struct StackBounds {
  bool known = false;
  uintptr_t low = 0;
  uintptr_t high = 0;
  uintptr_t walk_floor = 0;

  bool contains(uintptr_t address) const {
    return low < address && address < high;
  }
};

// A thread's stack never moves, so each thread asks once: on the main thread
// the answer costs a read of /proc/self/maps.
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

// The calling thread's stack, or none (all 0) when `here` is not on it:
// code running on a stack of its own making (a coroutine library's) is not
// where the C library says, and such a stack has no bounds we know of.
[[gnu::noinline]] const StackBounds& bounds_at(uintptr_t here) {
  static const StackBounds unknown;
  if (!thread_stack.known) {
    StackBounds bounds;
    if (query_stack_bounds(bounds)) {
      const size_t size = bounds.high - bounds.low;
      bounds.walk_floor = bounds.low + std::min(kWalkMargin, size / 4);
    } else {
      bounds = StackBounds{};
    }
    bounds.known = true;
    thread_stack = bounds;
  }
  return thread_stack.contains(here) ? thread_stack : unknown;
}

}  // namespace

uintptr_t native_stack_floor() {
  const StackBounds& bounds = bounds_at(native_stack_frame());
  if (bounds.low == 0) return 0;
  return bounds.low + std::min(kTranslationMargin, (bounds.high - bounds.low) / 2);
}

bool native_stack_enter(const char* where) {
  const uintptr_t here = native_stack_frame();
  const StackBounds& known = thread_stack;
  if (here >= known.walk_floor && here < known.high) return true;
  const StackBounds& bounds = bounds_at(here);
  if (bounds.low == 0 || here >= bounds.walk_floor) return true;
  PyErr_Format(PyExc_RecursionError, "maximum recursion depth exceeded%s", where);
  return false;
}

StackGuard::StackGuard() : floor_(native_stack_floor()) {
  if (floor_ == 0) {
    const int limit = std::max(Py_GetRecursionLimit(), 1);
    max_depth_ = static_cast<size_t>(limit) * kLevelsPerRecursionUnit;
  }
}

void StackGuard::enter() {
  const bool exhausted =
      floor_ != 0 ? native_stack_frame() < floor_ : depth_ >= max_depth_;
  if (exhausted) throw DepthExceeded{};
  ++depth_;
}

}  // namespace zarnu
