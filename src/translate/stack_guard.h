// Keeps the recursive translation of a deep syntax tree (long operator
// chains, deeply nested arrays or parentheses) from running the calling
// thread out of native stack: past a safe depth the translation unwinds and
// `parse` raises RecursionError instead of crashing the interpreter.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zarnu::translate {

// Thrown by StackGuard::Level; caught where the translation of a tree starts.
struct DepthExceeded {};

class StackGuard {
 public:
  // Measures the calling thread's stack; the guard serves that thread only.
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

  // Lowest frame address allowed; 0 when the stack bounds are unknown and
  // the depth limit below serves instead.
  uintptr_t floor_ = 0;
  size_t depth_ = 0;
  size_t max_depth_ = 0;
};

}  // namespace zarnu::translate
