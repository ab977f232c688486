#include "window/size_rules.h"

namespace tambrel {

ResizeDecision DecideResize(const WindowSize& size) {
  ResizeDecision decision;
  decision.rightLimit = size.scaleWidth - kRightMargin;
  decision.bottomLimit = size.scaleHeight - kBottomMargin;
  if (size.state == WindowState::Normal) {
    if (size.outerWidth != kFixedOuterWidth) decision.newOuterWidth = kFixedOuterWidth;
    if (size.outerHeight < kMinOuterHeight) decision.newOuterHeight = kMinOuterHeight;
  }
  return decision;
}

}  // namespace tambrel
