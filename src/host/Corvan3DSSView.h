// The screen saver view: loads the settings, owns the GL surface and the
// frame driver, and turns the host's ticks into frame steps of measured
// length, at most 60 a second, absorbing long pauses.
#pragma once

#include <memory>

#include "host/SSMain.h"
#include "host/Settings.h"
#include "platform/ScreenSaverView.h"

// The GL state every frame relies on: smooth shading, black clear, depth
// test, colour material tracking ambient and diffuse on both faces.
void SetupSceneState();

// The perspective projection of a view of this size (45 degrees vertically,
// near 1, far 100), then the identity model-view.
void SetupPerspective(double width, double height);

class Corvan3DSSView : public ScreenSaverView {
public:
  bool MainMonitorOnly = false;
  bool ThisScreenIsOn = true;
  std::unique_ptr<GLView> glView;
  bool viewAllocated = false;
  bool glReady = false;       // false: the next frame sets up GL for the size
  bool initialized = false;   // mainSetup has run
  SETTINGS mySettings;
  double animtime = 0.0;      // when the last step was taken
  ViewSize Scrn;
  SSMAIN* ssMain = nullptr;

  Corvan3DSSView(ViewSize frame, bool isPreview, HostServices* host);
  ~Corvan3DSSView() override;

  void setFrameSize(ViewSize size) override;
  void startAnimation() override;
  void stopAnimation() override;
  void animateOneFrame() override;

  // Rebuilds the world from mySettings (after the settings window saves).
  bool RebuildWorld();

  bool mainSetup();
  void glInit();
  void glReshape();
};
