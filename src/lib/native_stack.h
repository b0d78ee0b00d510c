// Keeps recursion over input-sized depth from running the calling thread out
// of native stack. The translation of a deep syntax tree and the walks over a
// deep result (repr, ==, accept, generic) both stop at a floor measured from
// the thread's real stack, whatever its size and whatever the interpreter's
// recursion limit, and raise RecursionError instead of crashing.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zarnu {

// The lowest frame address the translation on the calling thread may reach:
// a margin above the end of the thread's stack is kept for the interpreter's
// work at that depth (allocating a node may run the cycle collector) and for
// the frames that sanitizer builds inflate. 0 when the stack's bounds are
// unknown (a stack of a coroutine library's making, a C library that cannot
// tell); a level count then serves alone.
uintptr_t native_stack_floor();

inline uintptr_t native_stack_frame() {
  return reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
}

// For one level of a walk over nodes: false with RecursionError
// "maximum recursion depth exceeded{where}" set when the calling thread is
// near the end of its stack (with a smaller margin than the translation's).
// `where` reads like the interpreter's own, e.g. " while getting the repr of
// an object". Where the bounds are unknown, the interpreter's level count
// serves alone.
bool native_stack_enter(const char* where);

// Thrown by StackGuard::Level; caught where the translation of a tree starts.
struct DepthExceeded {};

// The translation's guard, made once per parse for the calling thread.
class StackGuard {
 public:
  StackGuard();

  // One level of recursion, held for the span of a recursive call.
  class Level {
   public:
    explicit Level(StackGuard& guard) : guard_(guard) { guard_.enter(); }
    ~Level() { --guard_.depth_; }
    Level(const Level&) = delete;
    Level& operator=(const Level&) = delete;

   private:
    StackGuard& guard_;
  };

 private:
  void enter();

  // See native_stack_floor(); when 0, the depth limit below serves instead.
  uintptr_t floor_ = 0;
  size_t depth_ = 0;
  size_t max_depth_ = 0;
};

}  // namespace zarnu
