#include "tests/support/ui_driver.h"

#include <chrono>
#include <memory>
#include <thread>

#include <wx/app.h>
#include <wx/timer.h>
#include <wx/uiaction.h>

namespace morrowby {
namespace testing {

bool RunUntil(const std::function<bool()>& done, int limit_ms) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limit_ms);
  while (!done() && std::chrono::steady_clock::now() < deadline) {
    wxTheApp->Yield(true);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return done();
}

namespace {
// Polls on a timer so that it also fires inside nested modal loops.
class ReadyPoller : public wxTimer {
 public:
  ReadyPoller(std::function<bool()> ready, std::function<void()> step)
      : ready_(std::move(ready)), step_(std::move(step)) {}
  void Notify() override {
    if (!ready_()) return;
    Stop();
    auto step = std::move(step_);
    delete this;  // before the step: it may run a modal loop of its own
    step();
  }

 private:
  std::function<bool()> ready_;
  std::function<void()> step_;
};
}  // namespace

void WhenReady(std::function<bool()> ready, std::function<void()> step) {
  (new ReadyPoller(std::move(ready), std::move(step)))->Start(20);
}

void ClickWithMouse(wxWindow* window) {
  wxUIActionSimulator sim;
  const wxRect r = window->GetScreenRect();
  sim.MouseMove(r.GetLeft() + r.GetWidth() / 2, r.GetTop() + r.GetHeight() / 2);
  wxTheApp->Yield(true);
  sim.MouseClick();
  wxTheApp->Yield(true);
}

void PressKey(int key_code) {
  wxUIActionSimulator sim;
  sim.Char(key_code);
  wxTheApp->Yield(true);
}

}  // namespace testing
}  // namespace morrowby
