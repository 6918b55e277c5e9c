#include "platform/win/DisplayBackend.h"

#include "platform/win/HeadlessBackend.h"
#include "platform/win/MoveSize.h"
#include "platform/win/WindowStyles.h"

namespace {

std::unique_ptr<TDisplayBackend>& Current() {
  static std::unique_ptr<TDisplayBackend> b = std::make_unique<THeadlessBackend>();
  return b;
}

}  // namespace

TDisplayBackend& DisplayBackend() { return *Current(); }

void SetDisplayBackend(std::unique_ptr<TDisplayBackend> backend) {
  Current() = backend ? std::move(backend) : std::make_unique<THeadlessBackend>();
}

void TDisplayBackend::BeginMoveSize(HWND hwnd, int hit, TPoint screen) { RunMoveSize(hwnd, hit, screen); }

bool ManagerFramed(uint32_t style, uint32_t exStyle) {
  return (style & WS_CAPTION) == WS_CAPTION && !(style & WS_CHILD) && !(exStyle & WS_EX_TOOLWINDOW) &&
         DisplayBackend().ManagerDecorates();
}
