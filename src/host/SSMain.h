// The frame driver of one view: it owns the money world and the built-in
// artwork, sets up the lighting, runs each frame in a fixed order and draws
// the overlay (corner banner, notice band, clock, intro) over the scene.
#pragma once

#include <cstdint>

#include "image/Texture.h"
#include "maths/NiftyMaths.h"

class MONEYSS;

// Hour (0 to 23), minute and second of the local time.
void Clock(int* hour, int* minute, int* second);

// The eight glyphs of the clock for a time: tens and units of the hour,
// colon (10), minute, colon, second. 12-hour time shows 12 for 0.
void ClockGlyphs(int hour, int minute, int second, bool twelveHour, int glyphs[8]);

// The light the scene is lit by: a point light 5 units above and behind
// the eye, moving with the camera; lighting on, back faces culled.
void SetupLighting();

// Built-in textures, by their position in the resource file.
enum BuiltInTexture {
  kGlyphSheet = 0,
  kBannerBadge,
  kIntroUpper,
  kIntroLower,
  kMessageA,
  kMessageB
};
constexpr int kBuiltInTextureCount = 6;

class SSMAIN {
public:
  double RunTime = 0.0;   // animated time: the sum of all steps
  double StepTime = 0.0;  // the current step
  int32_t ScreenWidth = 0;
  int32_t ScreenHeight = 0;
  bool Preview = false;  // the small preview draws no overlay
  float BannerTimer = 90.0f;
  bool BannerShown = false;
  bool BannerTop = false;
  point2d BannerPos = Make2DPoint(0.0f, -35.0f);
  point2d BannerStart = Make2DPoint(0.0f, -35.0f);
  uint32_t MessageTexture = kMessageB;
  float BandTimer = 0.0f;
  float BandAlpha = 0.0f;
  float ClockAlpha = 0.0f;
  float ClockTimer = -15.0f;
  bool IntroDone = false;
  float IntroSpare = 0.0f;
  float IntroSlide = 1.0f;
  float IntroAlphaUpper = -5.0f;  // below 0: a delay before the fade-in
  float IntroAlphaLower = -1.0f;
  int32_t NumTextures = 0;
  Texture* Textures = nullptr;
  MONEYSS* World = nullptr;

  // Where the clock reads the time; tests replace it.
  void (*ClockSource)(int*, int*, int*) = Clock;

  SSMAIN() = default;
  ~SSMAIN();
  SSMAIN(const SSMAIN&) = delete;
  SSMAIN& operator=(const SSMAIN&) = delete;

  bool Setup(bool preview, int width, int height);
  void SetSize(int width, int height);
  void Update(double step);
  void Draw();
  void Cleanup();

  void DoOverlay();
  void DoIntro();

  // Uploads one image still waiting to go to OpenGL (the notes', then the
  // intro's, then the rest of the artwork); false when none waits. The view calls it after each
  // frame it presents, so that no single frame waits for them all.
  bool UploadPendingTexture();

private:
  void ReleaseTextures();
  // A built-in texture that was loaded and built, or 0.
  uint32_t TextureName(uint32_t index) const;
  bool BindTexture(uint32_t index) const;
  void StepBanner(double s);
  void StepBand(double s);
  void StepClock(double s);
  void DrawBanner();
  void DrawBand();
  void DrawClock();
};
