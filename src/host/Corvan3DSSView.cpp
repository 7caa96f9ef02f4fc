#include "host/Corvan3DSSView.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cstdio>
#include <string>

#include "data/Prefetch.h"
#include "data/ResFile.h"
#include "maths/Random.h"
#include "platform/Alert.h"
#include "world/Notes.h"

namespace {

constexpr double kAnimationInterval = 0.02857142857142857;  // 35 ticks a second
constexpr double kMinimumStep = 0.016666666666666666;       // at most 60 steps a second
constexpr double kLongestStep = 2.0;                        // longer pauses are skipped

}  // namespace

Corvan3DSSView::Corvan3DSSView(ViewSize frame, bool isPreview, HostServices* host)
    : ScreenSaverView(frame, isPreview, host) {
  glView = host->CreateGLView();
  viewAllocated = glView != nullptr;
  glReady = false;
  LoadSettings(host->Defaults(), host, &mySettings, &MainMonitorOnly);
  Scrn = bounds();
  ThisScreenIsOn = true;
  initialized = false;
  setAnimationTimeInterval(kAnimationInterval);
}

Corvan3DSSView::~Corvan3DSSView() {
  cancelDownloads();                  // their events must not reach a view that is gone
  if (glView) glView->MakeCurrent();  // the GL objects to release belong to it
  if (ssMain != nullptr) {
    ssMain->Cleanup();
    delete ssMain;
    ssMain = nullptr;
  }
  delete[] downloadData;
  numDownloads = 0;
  downloadData = nullptr;
}

void Corvan3DSSView::cancelDownloads() {
  if (catalogueRead != nullptr) catalogueRead->cancel();
  catalogueRead = nullptr;
  if (theDownload != nullptr) theDownload->cancel();
  theDownload = nullptr;
}

void Corvan3DSSView::setFrameSize(ViewSize size) {
  ScreenSaverView::setFrameSize(size);
  if (viewAllocated) glView->SetFrameSize(size.width, size.height);
  glReady = false;
}

void Corvan3DSSView::startAnimation() {
  ThisScreenIsOn = true;
  if (MainMonitorOnly && Host()->WindowScreenNumber() != Host()->MainScreenNumber())
    ThisScreenIsOn = false;
  if (viewAllocated) {
    glView->MakeCurrent();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glFlush();
  }
  ScreenSaverView::startAnimation();
}

void Corvan3DSSView::stopAnimation() { ScreenSaverView::stopAnimation(); }

void Corvan3DSSView::animateOneFrame() {
  if (!ThisScreenIsOn) {
    stopAnimation();
    return;
  }
  if (!viewAllocated) return;
  glView->MakeCurrent();
  if (!glReady) {
    glInit();
    glReady = true;
  }
  if (!initialized) {
    mainSetup();
    initialized = true;
    glClear(GL_COLOR_BUFFER_BIT);
  }

  const double now = Host()->Now();
  const double elapsed = now - animtime;
  if (elapsed > kLongestStep) {
    animtime = now;  // a long pause is absorbed, not turned into one huge step
    return;
  }
  if (elapsed <= kMinimumStep) return;  // the time accumulates into the next step
  animtime = now;
  if (ssMain != nullptr) ssMain->Update(elapsed);
  glReshape();
  if (ssMain != nullptr) ssMain->Draw();
  glFlush();
  glView->FlushBuffer();
  if (ssMain != nullptr) ssMain->UploadPendingTexture();  // after the frame is shown
}

bool Corvan3DSSView::mainSetup() {
  // Images decoded ahead for this setup that it does not take, no later one will.
  struct DiscardPrefetched {
    ~DiscardPrefetched() { DiscardPrefetchedImages(); }
  } discard;
  const ViewSize size = bounds();
  SeedRandom(static_cast<unsigned>(static_cast<long long>(Host()->SecondsSinceEpoch())));
  if (ssMain != nullptr) {
    delete ssMain;
    ssMain = nullptr;
  }
  ssMain = new SSMAIN;
  if (!ssMain->Setup(isPreview(), int(size.width), int(size.height))) return false;
  if (ssMain->World != nullptr && !ssMain->World->Setup(&mySettings)) return false;

  const std::string resources = Host()->ResourcePath() + "/brimble.artifacts";
  if (!LoadTexturesFromDataFile(resources.c_str(), &ssMain->Textures, &ssMain->NumTextures)) {
    ERRORCLOSE((resources + ": cannot load the saver's artwork").c_str());
    return false;
  }
  // The overlay leaves out the layers whose images are missing.
  if (ssMain->NumTextures < kBuiltInTextureCount)
    ERRORCLOSE((resources + ": holds " + std::to_string(ssMain->NumTextures) +
                " images, the overlay needs " + std::to_string(kBuiltInTextureCount))
                   .c_str());
  animtime = Host()->Now();
  return true;
}

bool Corvan3DSSView::RebuildWorld() {
  if (!viewAllocated || ssMain == nullptr || ssMain->World == nullptr) return false;
  const ViewSize size = bounds();
  glView->MakeCurrent();  // the old world's objects and the new one's belong to it
  ssMain->World->Cleanup();
  delete ssMain->World;
  ssMain->World = new MONEYSS;
  ssMain->SetSize(int(size.width), int(size.height));
  const bool ok = ssMain->World->Setup(&mySettings);
  glReady = false;
  return ok;
}

void Corvan3DSSView::glInit() {
  Scrn = bounds();
  glViewport(0, 0, int(Scrn.width), int(Scrn.height));
  if (ssMain != nullptr) ssMain->SetSize(int(Scrn.width), int(Scrn.height));
  SetupSceneState();
  glReshape();
}

void Corvan3DSSView::glReshape() { SetupPerspective(Scrn.width, Scrn.height); }

void SetupSceneState() {
  glShadeModel(GL_SMOOTH);
  glClearColor(0, 0, 0, 0);
  glClearDepth(1.0);
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LEQUAL);
  glEnable(GL_COLOR_MATERIAL);
  glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
}

void SetupPerspective(double width, double height) {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  // A view of zero height has no aspect ratio; draw it as if square.
  const float w = float(width), h = float(height);
  gluPerspective(45.0, h > 0.0f ? w / h : 1.0, 1.0, 100.0);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}
