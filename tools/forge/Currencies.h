// The currencies the saver ships with: real denominations, real note sizes
// and each currency's characteristic colours, drawn to designs of our own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Canvas.h"

// Original motifs: the emblem in the front's medallion and the scene in the
// back's vignette.
enum class Motif { CompassStar, CircleFlower, Blossom, Waves, Peaks };

struct NoteDesign {
  uint32_t value;
  uint32_t width;  // note size in hundredths of a note unit (millimetres)
  uint32_t height;
  Rgb ink;     // the note's main colour
  Rgb accent;  // its second colour
};

struct CurrencyDesign {
  std::string file;         // "USA.dosh"
  std::string displayName;  // shown in the currency list, at most 39 bytes
  std::string title;        // printed on the notes
  std::string unit;         // "DOLLAR"
  std::string units;        // "DOLLARS"
  std::string symbol;       // "$"
  std::string serialLetters;
  Motif motif;
  Rgb paper;  // unprinted paper, before the note's own tint
  Rgb serialInk;
  std::vector<NoteDesign> notes;
};

const std::vector<CurrencyDesign>& Currencies();

// "TWENTY", "ONE HUNDRED", "TEN THOUSAND" for the values the notes carry.
std::string ValueInWords(uint32_t value);
