#include "host/SSMain.h"

#include <GL/gl.h>

#include <algorithm>
#include <ctime>
#include <new>

#include "maths/Random.h"
#include "world/GLStuff.h"
#include "world/Notes.h"

namespace {

// A textured quad mapping the whole texture, counter-clockwise so that it
// faces the viewer with back faces culled.
void DrawQuad(float x0, float y0, float x1, float y1, float u0 = 0, float v0 = 0, float u1 = 1,
              float v1 = 1) {
  glBegin(GL_QUADS);
  glTexCoord2f(u0, v0);
  glVertex2f(x0, y0);
  glTexCoord2f(u1, v0);
  glVertex2f(x1, y0);
  glTexCoord2f(u1, v1);
  glVertex2f(x1, y1);
  glTexCoord2f(u0, v1);
  glVertex2f(x0, y1);
  glEnd();
}

// value + delta, computed in double and stored as float, as every timer is.
float Stepped(float value, double delta) { return float(value + delta); }

// Fades alpha in while showing, out otherwise, at half a unit per second.
void Fade(float& alpha, bool showing, double s) {
  if (showing)
    alpha = alpha < 1.0f ? Stepped(alpha, 0.5 * s) : 1.0f;
  else if (alpha > 0.0f)
    alpha = Stepped(alpha, -0.5 * s);
}

}  // namespace

void Clock(int* hour, int* minute, int* second) {
  const time_t now = time(nullptr);
  struct tm local {};
  localtime_r(&now, &local);
  *hour = local.tm_hour;
  *minute = local.tm_min;
  *second = local.tm_sec;
}

void SetupLighting() {
  const GLfloat ambient[] = {0, 0, 0, 0}, diffuse[] = {1, 1, 1, 1};
  const GLfloat specular[] = {0.3f, 0.3f, 0.3f, 1.0f}, position[] = {0, 5, 5, 1};
  glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
  glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
  glLightfv(GL_LIGHT0, GL_SPECULAR, specular);
  glLightfv(GL_LIGHT0, GL_POSITION, position);  // given with the identity model-view
  glEnable(GL_LIGHTING);
  glEnable(GL_LIGHT0);
  glCullFace(GL_BACK);
  glEnable(GL_CULL_FACE);
}

void ClockGlyphs(int hour, int minute, int second, bool twelveHour, int glyphs[8]) {
  if (twelveHour) {
    if (hour > 12) hour -= 12;
    if (hour == 0) hour = 12;
  }
  const int values[8] = {hour / 10,   hour % 10, 10,          minute / 10,
                         minute % 10, 10,        second / 10, second % 10};
  for (int i = 0; i < 8; ++i) glyphs[i] = values[i];
}

SSMAIN::~SSMAIN() { Cleanup(); }

bool SSMAIN::Setup(bool preview, int width, int height) {
  Preview = preview;
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  if (World != nullptr) {
    World->Cleanup();
    delete World;
    World = nullptr;
  }
  World = new (std::nothrow) MONEYSS;
  if (World == nullptr) return false;
  ReleaseTextures();
  SetSize(width, height);

  SetupLighting();
  return true;
}

void SSMAIN::SetSize(int width, int height) {
  ScreenWidth = width;
  ScreenHeight = height;
  if (World != nullptr) {
    World->ViewWidth = float(width);
    World->ViewHeight = float(height);
  }
}

void SSMAIN::Update(double step) {
  StepTime = step;
  RunTime += step;
  if (World != nullptr) {
    World->FrameTime = step;
    World->TotalTime = RunTime;
  }
}

void SSMAIN::Draw() {
  glLoadIdentity();
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glEnable(GL_TEXTURE_2D);
  if (World != nullptr) {
    World->Camera.Move(World);
    ExtractFrustum();
    World->Move();
    World->Draw();
  }
  if (!Preview) DoOverlay();
  glDisable(GL_TEXTURE_2D);
}

void SSMAIN::Cleanup() {
  if (World != nullptr) {
    World->Cleanup();
    delete World;
    World = nullptr;
  }
  ReleaseTextures();
  glDisable(GL_LIGHTING);
  glDisable(GL_LIGHT0);
  glDisable(GL_CULL_FACE);
}

void SSMAIN::ReleaseTextures() {
  // delete[] destroys the elements from the last to the first, and each
  // releases its pixels and its texture name.
  delete[] Textures;
  Textures = nullptr;
}

uint32_t SSMAIN::TextureName(uint32_t index) const {
  if (Textures == nullptr || index >= uint32_t(NumTextures)) return 0;
  return Textures[index].textureId;
}

// Layers whose artwork did not load are not drawn at all.
bool SSMAIN::BindTexture(uint32_t index) const {
  const uint32_t name = TextureName(index);
  if (name == 0) return false;
  UploadTexture(&Textures[index]);
  glBindTexture(GL_TEXTURE_2D, name);
  return true;
}

namespace {

bool UploadFirstPending(Texture* textures, int32_t count) {
  for (int32_t i = 0; textures != nullptr && i < count; ++i) {
    if (!textures[i].uploadPending) continue;
    UploadTexture(&textures[i]);
    return true;
  }
  return false;
}

}  // namespace

bool SSMAIN::UploadPendingTexture() {
  for (int32_t c = 0; World != nullptr && World->Currencies != nullptr && c < World->NumCurrencies;
       ++c) {
    const ONECURRENCY* set = World->Currencies[c].NoteSet;
    if (set != nullptr && UploadFirstPending(set->Textures, set->NumTextures)) return true;
  }
  // The intro's images come first of the artwork: the others wait for seconds.
  for (uint32_t k : {uint32_t(kIntroUpper), uint32_t(kIntroLower)}) {
    if (k >= uint32_t(NumTextures) || !Textures[k].uploadPending) continue;
    UploadTexture(&Textures[k]);
    return true;
  }
  return UploadFirstPending(Textures, NumTextures);
}

// ---- overlay ---------------------------------------------------------------------

void SSMAIN::DoOverlay() {
  const double s = StepTime;
  const float W = float(ScreenWidth), H = float(ScreenHeight);
  StepBanner(s);

  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  // An empty view still gets a valid projection.
  glOrtho(0, std::max(ScreenWidth, 1), 0, std::max(ScreenHeight, 1), -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glDisable(GL_LIGHTING);
  glDisable(GL_DEPTH_TEST);
  glColor4f(1, 1, 1, 1);
  glNormal3f(0, 0, 1);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glEnable(GL_BLEND);
  DrawBanner();
  glDisable(GL_BLEND);

  // From here on, a virtual space of 1024 x 768 stretched over the view.
  glScalef(W / 1024.0f, H / 768.0f, 1.0f);
  StepBand(s);
  if (BandAlpha > 0.0f) DrawBand();
  if (World != nullptr && World->SHOWCLOCK) {
    StepClock(s);
    if (ClockAlpha > 0.0f) DrawClock();
  }
  glEnable(GL_LIGHTING);
  glEnable(GL_DEPTH_TEST);
  if (!IntroDone) DoIntro();
}

// The banner alternates 20 s shown and 30 s hidden, first showing after 90 s,
// at the top edge first and then at the bottom and top in turn.
void SSMAIN::StepBanner(double s) {
  BannerTimer = Stepped(BannerTimer, -s);
  if (BannerTimer < 0.0f) {
    BannerTimer = 30.0f;
    if (!BannerShown) {
      MessageTexture = kMessageA + RandomDraw() % 2;
      BannerPos.x = RandomDraw() % 2 == 1 ? float(ScreenWidth - 256) : 0.0f;
      BannerTop = !BannerTop;
      BannerPos.y = BannerTop ? float(ScreenHeight + 40) : -40.0f;
      BannerTimer = 20.0f;
    }
    BannerShown = !BannerShown;
  }
  const float H = float(ScreenHeight);
  const float target =
      BannerShown ? (BannerTop ? H - 40.0f : 5.0f) : (BannerTop ? H + 40.0f : -40.0f);
  // A step of a second or more lands on the target rather than past it.
  BannerPos.y = s > 1.0 ? target : float(BannerPos.y + (target - BannerPos.y) * s);
}

void SSMAIN::DrawBanner() {
  if (BindTexture(kBannerBadge))
    DrawQuad(BannerPos.x, BannerPos.y, BannerPos.x + 256.0f, BannerPos.y + 32.0f);
  const float x = ScreenWidth * 0.5f - 256.0f;
  if (BindTexture(MessageTexture)) DrawQuad(x, BannerPos.y, x + 512.0f, BannerPos.y + 32.0f);
}

// The band fades in over 2 s, stays for the rest of 20 s, fades out and
// returns 60 s after its phase ended; the clock makes way for it.
void SSMAIN::StepBand(double s) {
  BandTimer = Stepped(BandTimer, -s);
  if (BandTimer > 0.0f) {
    ClockTimer = 0.0f;
    Fade(BandAlpha, true, s);
  } else if (BandAlpha > 0.0f) {
    Fade(BandAlpha, false, s);
  } else {
    BandAlpha = 0.0f;
    if (BandTimer < -60.0f) BandTimer = 20.0f;
  }
}

void SSMAIN::DrawBand() {
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glEnable(GL_BLEND);
  glColor4f(0, 0, 0, BandAlpha);
  glDisable(GL_TEXTURE_2D);
  DrawQuad(0, 0, 1024, 768);
  glEnable(GL_TEXTURE_2D);
  glColor4f(1, 1, 1, BandAlpha);
  if (BindTexture(MessageTexture)) DrawQuad(0, 352, 1024, 352 + 64);
  glDisable(GL_BLEND);
  glColor4f(1, 1, 1, 1);
}

// The clock first shows after 15 s, fades in over 2 s, stays 60 to 239 s,
// fades out and stays hidden for 30 s.
void SSMAIN::StepClock(double s) {
  ClockTimer = Stepped(ClockTimer, -s);
  if (ClockTimer > 0.0f) {
    Fade(ClockAlpha, true, s);
  } else if (ClockAlpha > 0.0f) {
    Fade(ClockAlpha, false, s);
  } else {
    ClockAlpha = 0.0f;
    if (ClockTimer < -30.0f) ClockTimer = float(RandomDraw() % 180 + 60);
  }
}

void SSMAIN::DrawClock() {
  int hour = 0, minute = 0, second = 0;
  ClockSource(&hour, &minute, &second);
  int glyphs[8];
  ClockGlyphs(hour, minute, second, World->CLOCK12HR, glyphs);

  glEnable(GL_BLEND);
  glColor4f(0.7f, 0.7f, 0.7f, 0.75f * ClockAlpha);
  if (BindTexture(kGlyphSheet)) {
    const float size = float(World->CLOCKSIZE);
    glPushMatrix();
    glTranslatef(size * 4.2f * -0.75f + 512.0f, 384.0f, 0.0f);
    // Each glyph overlaps its neighbours by a quarter of its width.
    for (int g : glyphs) {
      DrawQuad(0, -size / 2, size, size / 2, g / 16.0f, 0.875f, (g + 1) / 16.0f, 1.0f);
      glTranslatef(0.75f * size, 0.0f, 0.0f);
    }
    glPopMatrix();
  }
  glDisable(GL_BLEND);
  glColor4f(1, 1, 1, 1);
}

// Two images fade in one after the other, stay until 12 s and fade out.
void SSMAIN::DoIntro() {
  const double t = RunTime, s = StepTime;
  glPushMatrix();
  glDisable(GL_LIGHTING);
  glDisable(GL_DEPTH_TEST);
  glEnable(GL_BLEND);
  if (t < 12.0) {
    if (IntroAlphaUpper < 1.0f)
      IntroAlphaUpper = Stepped(IntroAlphaUpper, s);
    else if (IntroAlphaLower < 1.0f)
      IntroAlphaLower = Stepped(IntroAlphaLower, s);
  } else if (IntroAlphaUpper > 0.0f) {
    IntroAlphaUpper = Stepped(IntroAlphaUpper, -s);
  } else if (IntroAlphaLower > 0.0f) {
    IntroAlphaLower = Stepped(IntroAlphaLower, -s);
  } else {
    IntroDone = true;
  }

  if (BindTexture(kIntroUpper)) {
    glPushMatrix();
    glTranslatef(512.0f, 614.4f, 0.0f);
    glColor4f(1, 1, 1, IntroAlphaUpper);
    glScalef(2, 2, 1);
    DrawQuad(-128, -32, 128, 32);
    glPopMatrix();
  }
  if (BindTexture(kIntroLower)) {
    glPushMatrix();
    glTranslatef(1024.0f * IntroSlide * -0.5f + 1024.0f, 192.0f, 0.0f);
    glColor4f(1, 1, 1, IntroAlphaLower);
    glScalef(2, 2, 1);
    DrawQuad(-128, -64, 128, 64);
    glPopMatrix();
  }
  glEnable(GL_LIGHTING);
  glEnable(GL_DEPTH_TEST);
  glDisable(GL_BLEND);
  glPopMatrix();
}
