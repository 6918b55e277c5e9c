#include "platform/win/DisplayBackend.h"

#include "platform/win/HeadlessBackend.h"
#include "platform/win/MoveSize.h"

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
