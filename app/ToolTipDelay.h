#pragma once

namespace varnetto {

// Tool tips of the main window wake after 100 ms; every other window keeps
// the style's own delay. Called once at start, after the application object
// exists: it wraps the application's style.
void installMainWindowToolTipDelay();

}  // namespace varnetto
