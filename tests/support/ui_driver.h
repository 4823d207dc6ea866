// Helpers for driving real windows in tests: running the event loop until a condition
// holds (with a generous limit, never a fixed sleep) and clicking with real input.
#pragma once

#include <functional>

#include <wx/window.h>

namespace morrowby {
namespace testing {

// Processes events until `done` returns true or `limit_ms` has passed; returns done().
bool RunUntil(const std::function<bool()>& done, int limit_ms = 20000);

// Calls `step` from the event loop as soon as `ready` holds (polled every 20 ms).
// Used to act on a modal window from inside its own modal run.
void WhenReady(std::function<bool()> ready, std::function<void()> step);

// A real left click in the middle of `window` (XTest on the X server).
void ClickWithMouse(wxWindow* window);

// A real key press sent to the focused window.
void PressKey(int key_code);

}  // namespace testing
}  // namespace morrowby
