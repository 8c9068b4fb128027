#include "platform/ui/animations.h"

#include <atomic>

namespace tessra::platform {

namespace {

std::atomic<bool> g_enabled{true};

}  // namespace

bool animationsEnabled() { return g_enabled.load(std::memory_order_relaxed); }

void setAnimationsEnabled(bool enabled) { g_enabled.store(enabled, std::memory_order_relaxed); }

int animationDuration(int milliseconds) { return animationsEnabled() ? milliseconds : 0; }

}  // namespace tessra::platform
