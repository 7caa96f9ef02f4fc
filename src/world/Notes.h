// The money world: the falling notes, the shared table of swing angles, the
// camera and the currencies.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "data/Currency.h"
#include "maths/NiftyMaths.h"
#include "world/Camera.h"
#include "world/SettingsRecord.h"

class MONEYSS;

// One falling banknote.
struct ONENOTE {
  VECTOR3D Pos;        // the pivot: a flat note's centre, a curved note's trough axis
  VECTOR3D Vel;        // units per second
  VECTOR3D Rot;        // degrees: x tumble, y heading, z swing
  VECTOR3D RotSpeed;   // degrees per second for Rot.x and Rot.y
  int32_t Currency;    // index in the world's Currencies
  int32_t NoteList;    // 3 x denomination + variant (0, 1 curved; 2 flat)
  int32_t Tumbling;    // 1 for a flat note
  int32_t SwingPhase;  // which SwingAngle entry rocks it
  float Brightness;    // fade with distance from the eye

  void Reset(MONEYSS* world);  // spawn at the top of the cube
  void Move(MONEYSS* world);
  void Draw(MONEYSS* world);
};

// From how many notes the world draws them nearest first.
constexpr int64_t kNearestFirstFrom = 2000;

class MONEYSS {
public:
  float ViewWidth = 0.0f;
  float ViewHeight = 0.0f;
  double FrameTime = 0.0;
  double TotalTime = 0.0;
  int64_t TOT_NUM_NOTES = 200;
  ONENOTE* Notes = nullptr;
  int64_t LNOTESIZE = 100;
  float NoteScale = 1.0f;
  float ActiveNotes = 0.0f;  // notes from the start of the array that move and draw
  float SwingAngle[20] = {};
  ONECAMERA Camera;
  bool MIXCURRENCY = false;
  int32_t NumCurrencies = 0;
  int32_t CurrentCurrency = 0;
  CURRENCYINFO* Currencies = nullptr;
  char CurrencyPath[PATH_BUFFER_SIZE] = "./";
  char CurrencyPath2[PATH_BUFFER_SIZE] = {};
  char SelectedCurrencyName[PATH_BUFFER_SIZE] = "USA.dosh";
  bool SHOWCLOCK = false;
  bool CLOCK12HR = false;
  int64_t CLOCKSIZE = 90;
  // The active notes, nearest the eye first, as the last frame drew them.
  std::vector<std::pair<float, int32_t>> DrawOrder;

  MONEYSS() = default;
  ~MONEYSS();
  MONEYSS(const MONEYSS&) = delete;
  MONEYSS& operator=(const MONEYSS&) = delete;

  bool Setup(const SETTINGS* settings);
  void Move();
  void Draw();
  void Cleanup();

  // The currency list and the loading of its currencies.
  bool BuildCurrencyList();
  void FindSelectedCurrency();
  void CleanupCurrencyList();
  bool CurrencyFileExists(const char* name);
  bool LoadCurrencyData();
};
