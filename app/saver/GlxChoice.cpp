#include "GlxChoice.h"

#include <cstddef>
#include <tuple>

namespace {

// Larger is better, compared field by field.
auto Score(const GlxConfigTraits& c) {
  return std::make_tuple(c.doubleBuffer, c.depth >= 16, c.samples == 0, -c.stencil, c.depth);
}

}  // namespace

int PickConfig(const std::vector<GlxConfigTraits>& configs, unsigned long visualId) {
  int best = -1;
  for (int i = 0; i < int(configs.size()); ++i) {
    const GlxConfigTraits& c = configs[size_t(i)];
    if (c.visualId != visualId || !c.window || !c.rgba) continue;
    if (best < 0 || Score(c) > Score(configs[size_t(best)])) best = i;
  }
  return best;
}

int MonitorAt(const std::vector<MonitorRect>& monitors, int x, int y) {
  for (int i = 0; i < int(monitors.size()); ++i) {
    const MonitorRect& m = monitors[size_t(i)];
    if (x >= m.x && x < m.x + m.width && y >= m.y && y < m.y + m.height) return i;
  }
  return 0;
}

int PrimaryMonitor(const std::vector<MonitorRect>& monitors) {
  for (int i = 0; i < int(monitors.size()); ++i)
    if (monitors[size_t(i)].primary) return i;
  return 0;
}
