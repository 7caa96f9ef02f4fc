#include "world/Notes.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "maths/Random.h"
#include "platform/Alert.h"
#include "world/GLStuff.h"

namespace {

constexpr double kPi = 3.141592653589793;
constexpr float kCubeHalf = 30.0f;  // notes live in a cube 60 units on a side

// Folders are joined directly to file names, so they end in "/". Strings
// shorter than three characters are left alone, and so is one with no room.
void EndWithSlash(char* path) {
  const size_t length = std::strlen(path);
  if (length >= 3 && path[length - 1] != '/' && length + 1 < PATH_BUFFER_SIZE) {
    path[length] = '/';
    path[length + 1] = '\0';
  }
}

// A whole-number draw turned into a speed: (draw mod range - offset) / divisor.
float DrawnQuotient(int draw, int range, int offset, double divisor) {
  return float((draw % range - offset) / divisor);
}

// A currency left out of the mix has no notes to show: its share of the notes
// goes to the next currency that loaded.
int32_t LoadedFrom(const MONEYSS* world, int32_t index) {
  if (world->Currencies == nullptr) return index;
  for (int32_t k = 0; k < world->NumCurrencies; ++k) {
    const int32_t i = (index + k) % world->NumCurrencies;
    if (world->Currencies[i].NoteSet != nullptr) return i;
  }
  return index;
}

}  // namespace

// ---- ONENOTE ------------------------------------------------------------------

void ONENOTE::Reset(MONEYSS* world) {
  NoteList = 0;
  Currency = 0;
  if (world == nullptr) return;

  const int a = RandomDraw();
  const int b = RandomDraw();
  const VECTOR3D c = world->Camera.LookAt;
  Pos.x = c.x + float((b % 5000 - 2500) / 100.0);
  Pos.y = c.y + 25.0f;
  Pos.z = c.z + float((a % 5000 - 2500) / 100.0);

  if (world->MIXCURRENCY && world->NumCurrencies > 0)
    Currency = LoadedFrom(world, RandomDraw() % world->NumCurrencies);
  else
    Currency = world->CurrentCurrency;

  const ONECURRENCY* set = nullptr;
  if (world->Currencies != nullptr && Currency >= 0 && Currency < world->NumCurrencies)
    set = world->Currencies[Currency].NoteSet;
  const int lists = set != nullptr ? int(set->NumNotes * 3.0) : 0;
  if (lists > 0) NoteList = RandomDraw() % lists;

  Tumbling = (NoteList + 1) % 3 == 0 ? 1 : 0;
  SwingPhase = RandomDraw() % 20;

  if (Tumbling) {
    const int p = RandomDraw();
    const int q = RandomDraw();
    Rot = MakePoint(float(q % 360), float(p % 360), 0.0f);
    RotSpeed.y = DrawnQuotient(RandomDraw(), 2500, 1250, 100.0);
    const int m = RandomDraw();
    const int s = RandomDraw();
    RotSpeed.x = float(m % 180 + 180);
    if (s % 2 == 0) RotSpeed.x = -RotSpeed.x;
    RotSpeed.z = 0.0f;
  } else {
    Rot = MakePoint(0.0f, float(RandomDraw() % 360), 0.0f);
    RotSpeed = MakePoint(0.0f, DrawnQuotient(RandomDraw(), 2500, 1250, 100.0), 0.0f);
  }
  // Flat notes fall at 5.0 to 10.9 units per second, curved ones at 1.0 to 6.9.
  const int e = RandomDraw();
  const int f = RandomDraw();
  const int g = RandomDraw();
  Vel.z = DrawnQuotient(e, 40, 20, 10.0);
  Vel.y = float((f % 60) / -10.0 - (Tumbling ? 5.0 : 1.0));
  Vel.x = DrawnQuotient(g, 40, 20, 10.0);
}

void ONENOTE::Move(MONEYSS* world) {
  if (world == nullptr) return;
  const float dt = float(world->FrameTime);
  const ONECAMERA& camera = world->Camera;
  const VECTOR3D c = camera.LookAt;

  Rot.x += RotSpeed.x * dt;
  Rot.y += RotSpeed.y * dt;
  for (float* angle : {&Rot.x, &Rot.y}) {
    if (*angle > 360.0f) *angle -= 360.0f;
    if (*angle < 0.0f) *angle += 360.0f;
  }
  Rot.z = world->SwingAngle[SwingPhase];

  // While the camera follows a note, everything moves relative to it, so the
  // followed note itself stands still.
  VECTOR3D v = Vel;
  if (camera.Following && world->Notes != nullptr) {
    const VECTOR3D followed = world->Notes[camera.FollowNote].Vel;
    v = MakePoint(Vel.x - followed.x, Vel.y - followed.y, Vel.z - followed.z);
  }
  Pos.x = v.x * dt + Pos.x;
  Pos.y = v.y * dt + Pos.y;
  Pos.z = v.z * dt + Pos.z;

  // Wrap around the side walls of the cube; respawn below its floor. Only a
  // strict crossing counts.
  if (Pos.x < c.x - kCubeHalf) Pos.x += 2 * kCubeHalf;
  if (Pos.x > c.x + kCubeHalf) Pos.x -= 2 * kCubeHalf;
  if (Pos.y > c.y + kCubeHalf) Pos.y -= 2 * kCubeHalf;
  if (Pos.y < c.y - kCubeHalf) Reset(world);
  if (Pos.z < c.z - kCubeHalf) Pos.z += 2 * kCubeHalf;
  if (Pos.z > c.z + kCubeHalf) Pos.z -= 2 * kCubeHalf;

  // Fades with the squared distance from the eye; negative beyond the range.
  const float range = camera.FadeRange;
  const float distance = float(DistanceBetweenVectors(camera.Pos, Pos));
  Brightness = (range - distance) / range;
}

void ONENOTE::Draw(MONEYSS* world) {
  if (world == nullptr || !SphereInFrustum(Pos, world->NoteScale)) return;
  glPushMatrix();
  glColor4f(Brightness, Brightness, Brightness, Brightness);
  glTranslatef(Pos.x, Pos.y, Pos.z);
  glRotatef(Rot.y, 0, 1, 0);
  glRotatef(Rot.z, 0, 0, 1);
  glRotatef(Rot.x, 1, 0, 0);
  if (world->Currencies != nullptr && Currency >= 0 && Currency < world->NumCurrencies) {
    const ONECURRENCY* set = world->Currencies[Currency].NoteSet;
    if (set != nullptr && set->NoteLists != nullptr && NoteList >= 0 &&
        NoteList < set->NumNotes * 3) {
      if (set->Textures != nullptr && NoteList / 3 < set->NumTextures)
        UploadTexture(&set->Textures[NoteList / 3]);
      glCallList(set->NoteLists[NoteList]);
    }
  }
  glPopMatrix();
}

// ---- MONEYSS ------------------------------------------------------------------

MONEYSS::~MONEYSS() {
  Cleanup();
  CleanupCurrencyList();
}

bool MONEYSS::Setup(const SETTINGS* settings) {
  TOT_NUM_NOTES = settings->TOT_NUM_NOTES;
  LNOTESIZE = settings->LNOTESIZE;
  NoteScale = float(LNOTESIZE / 100.0);
  MIXCURRENCY = settings->MIXCURRENCY;
  Camera.ROTMODE = settings->ROTMODE;
  Camera.ZOOMIN = settings->ZOOMIN;
  CopyString(CurrencyPath, sizeof CurrencyPath, settings->CurrencyPath);
  CopyString(CurrencyPath2, sizeof CurrencyPath2, settings->CurrencyPath2);
  CopyString(SelectedCurrencyName, sizeof SelectedCurrencyName, settings->SelectedCurrencyName);
  SHOWCLOCK = settings->SHOWCLOCK;
  CLOCK12HR = settings->CLOCK12HR;
  CLOCKSIZE = settings->CLOCKSIZE;

  TotalTime = FrameTime = 0.0;
  NumCurrencies = 0;
  Currencies = nullptr;
  Notes = nullptr;
  ActiveNotes = 0.0f;

  if (TOT_NUM_NOTES <= 0) TOT_NUM_NOTES = 400;
  if (NoteScale <= 0.0f) NoteScale = 1.2f;
  EndWithSlash(CurrencyPath);
  EndWithSlash(CurrencyPath2);

  if (!BuildCurrencyList()) return false;
  FindSelectedCurrency();
  if (NumCurrencies < 2) MIXCURRENCY = false;
  if (!LoadCurrencyData()) return false;

  Cleanup();
  Notes = TOT_NUM_NOTES <= PTRDIFF_MAX / int64_t(sizeof(ONENOTE))
              ? new (std::nothrow) ONENOTE[size_t(TOT_NUM_NOTES)]()
              : nullptr;
  if (Notes == nullptr) {
    ERRORCLOSE("Unable to allocate memory!");
    return false;
  }
  // Every note starts at the top of the cube around the camera's look-at point.
  for (int64_t i = 0; i < TOT_NUM_NOTES; ++i) Notes[i].Reset(this);
  return true;
}

void MONEYSS::Move() {
  // Release the notes at a steady rate: all of them within ten seconds.
  if (float(TOT_NUM_NOTES) > ActiveNotes) {
    ActiveNotes = float(ActiveNotes + double(TOT_NUM_NOTES) / 10.0 * FrameTime);
    if (double(ActiveNotes) > double(TOT_NUM_NOTES)) ActiveNotes = float(TOT_NUM_NOTES);
  }

  // One table rocks every note: entry i lags entry 0 by i seconds, period 4 s.
  for (int i = 0; i < 20; ++i) {
    const float a = float((TotalTime - i) * kPi * 0.5);
    SwingAngle[i] = float(std::cos(double(a)) * 35.0);
  }

  // A world whose setup failed has no notes and stays still.
  if (Notes == nullptr) return;
  for (int64_t i = 0; i < TOT_NUM_NOTES && float(i) < ActiveNotes; ++i) Notes[i].Move(this);
}

void MONEYSS::Draw() {
  if (Notes == nullptr) return;
  // Notes are opaque and depth-tested: drawn nearest first, the depth test
  // rejects what they hide before it is textured and lit. Only where two
  // notes pass through each other, at the very same depth, does the order
  // decide a pixel; a scene of fewer notes, where little is hidden, keeps
  // its own order and so every pixel of it.
  if (TOT_NUM_NOTES < kNearestFirstFrom) {
    for (int64_t i = 0; i < TOT_NUM_NOTES && float(i) < ActiveNotes; ++i) Notes[i].Draw(this);
    return;
  }
  DrawOrder.clear();
  const VECTOR3D eye = Camera.Pos;
  for (int64_t i = 0; i < TOT_NUM_NOTES && float(i) < ActiveNotes; ++i) {
    const VECTOR3D& p = Notes[i].Pos;
    const float dx = p.x - eye.x, dy = p.y - eye.y, dz = p.z - eye.z;
    DrawOrder.emplace_back(dx * dx + dy * dy + dz * dz, int32_t(i));
  }
  std::sort(DrawOrder.begin(), DrawOrder.end());
  for (const auto& [distance, i] : DrawOrder) Notes[i].Draw(this);
}

void MONEYSS::Cleanup() {
  delete[] Notes;
  Notes = nullptr;
}

// ---- the currency list ------------------------------------------------------------

bool MONEYSS::BuildCurrencyList() {
  return ::BuildCurrencyList(CurrencyPath, CurrencyPath2, &Currencies, &NumCurrencies);
}

void MONEYSS::FindSelectedCurrency() {
  CurrentCurrency = ::FindSelectedCurrency(Currencies, NumCurrencies, SelectedCurrencyName,
                                           sizeof SelectedCurrencyName);
}

void MONEYSS::CleanupCurrencyList() {
  delete[] Currencies;  // the whole array, last entry first
  Currencies = nullptr;
  NumCurrencies = 0;
}

bool MONEYSS::CurrencyFileExists(const char* name) {
  return ::CurrencyFileExists(CurrencyPath2, name);
}

bool MONEYSS::LoadCurrencyData() {
  if (MIXCURRENCY) {
    // A currency refused for its cost is left out of the mix; any other
    // failure stops the load.
    int32_t loaded = 0;
    for (int32_t i = 0; i < NumCurrencies; ++i) {
      if (Currencies[i].LoadData(NoteScale))
        ++loaded;
      else if (!Currencies[i].PastLimits)
        return false;
    }
    return loaded > 0;
  }
  if (Currencies == nullptr || CurrentCurrency < 0 || CurrentCurrency >= NumCurrencies)
    return false;
  return Currencies[CurrentCurrency].LoadData(NoteScale);
}
