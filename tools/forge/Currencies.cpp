#include "Currencies.h"

namespace {

std::vector<CurrencyDesign> MakeCurrencies() {
  std::vector<CurrencyDesign> list;
  // Greens throughout, each value with its own second colour.
  list.push_back({"USA.dosh",
                  "US Dollar",
                  "US DOLLAR",
                  "DOLLAR",
                  "DOLLARS",
                  "$",
                  "CD",
                  Motif::CompassStar,
                  Hex(0xEEEBDC),
                  Hex(0x2E6B3A),
                  {{1, 156, 66, Hex(0x2F5E3C), Hex(0x6E7F62)},
                   {2, 156, 66, Hex(0x35603F), Hex(0x9A7448)},
                   {5, 156, 66, Hex(0x2E5A46), Hex(0x7A5A9A)},
                   {10, 156, 66, Hex(0x30583E), Hex(0xD0813A)},
                   {20, 156, 66, Hex(0x2C5B3B), Hex(0xC98E6A)},
                   {50, 156, 66, Hex(0x2D5640), Hex(0x4E78B4)},
                   {100, 156, 66, Hex(0x2A5444), Hex(0x2F8FB0)}}});
  list.push_back({"Euro.dosh",
                  "Euro",
                  "EURO",
                  "EURO",
                  "EURO",
                  "\u20AC",
                  "EV",
                  Motif::CircleFlower,
                  Hex(0xF1EEE6),
                  Hex(0x202020),
                  {{5, 120, 62, Hex(0x6B6F78), Hex(0x9AA0A8)},
                   {10, 127, 67, Hex(0xB8423C), Hex(0xD9826A)},
                   {20, 133, 72, Hex(0x2F62A8), Hex(0x6E9AD0)},
                   {50, 140, 77, Hex(0xD07A22), Hex(0xE8A862)},
                   {100, 147, 82, Hex(0x2E8A52), Hex(0x72B486)},
                   {200, 153, 82, Hex(0xB38A22), Hex(0xD8B85A)},
                   {500, 160, 82, Hex(0x6E3F8E), Hex(0x9E78B8)}}});
  list.push_back({"UK.dosh",
                  "Pound Sterling",
                  "POUND STERLING",
                  "POUND",
                  "POUNDS",
                  "\u00A3",
                  "KS",
                  Motif::Blossom,
                  Hex(0xF0EDE4),
                  Hex(0x7A1E1E),
                  {{5, 125, 65, Hex(0x1E7F7C), Hex(0x5AAFA8)},
                   {10, 132, 69, Hex(0xC86A1E), Hex(0xE09A52)},
                   {20, 139, 73, Hex(0x6A3C8C), Hex(0x9A70B8)},
                   {50, 146, 77, Hex(0xB0302A), Hex(0xD86A5E)}}});
  list.push_back({"Japan.dosh",
                  "Japanese Yen",
                  "JAPANESE YEN",
                  "YEN",
                  "YEN",
                  "\u00A5",
                  "RJ",
                  Motif::Waves,
                  Hex(0xEFEADB),
                  Hex(0x8A2A1A),
                  {{1000, 150, 76, Hex(0x2F4F8E), Hex(0x6F88B8)},
                   {2000, 154, 76, Hex(0x4E6B4E), Hex(0x8A9A6A)},
                   {5000, 156, 76, Hex(0x7A4A7E), Hex(0xB08AA8)},
                   {10000, 160, 76, Hex(0x7A5A32), Hex(0xB08C5A)}}});
  list.push_back({"Switzerland.dosh",
                  "Swiss Franc",
                  "SWISS FRANC",
                  "FRANC",
                  "FRANCS",
                  "Fr.",
                  "HW",
                  Motif::Peaks,
                  Hex(0xF1EEE4),
                  Hex(0x1E1E1E),
                  {{10, 126, 70, Hex(0xC99A12), Hex(0xE6C24A)},
                   {20, 137, 70, Hex(0xB8322E), Hex(0xE0706A)},
                   {50, 148, 70, Hex(0x3A8A3A), Hex(0x7CBA6A)},
                   {100, 159, 70, Hex(0x2A62A6), Hex(0x6A9AD2)},
                   {200, 170, 70, Hex(0x8A5530), Hex(0xB88A5E)},
                   {1000, 181, 70, Hex(0x6A3A8E), Hex(0x9C78C0)}}});
  return list;
}

}  // namespace

const std::vector<CurrencyDesign>& Currencies() {
  static const std::vector<CurrencyDesign> list = MakeCurrencies();
  return list;
}

std::string ValueInWords(uint32_t value) {
  switch (value) {
    case 1:
      return "ONE";
    case 2:
      return "TWO";
    case 5:
      return "FIVE";
    case 10:
      return "TEN";
    case 20:
      return "TWENTY";
    case 50:
      return "FIFTY";
    case 100:
      return "ONE HUNDRED";
    case 200:
      return "TWO HUNDRED";
    case 500:
      return "FIVE HUNDRED";
    case 1000:
      return "ONE THOUSAND";
    case 2000:
      return "TWO THOUSAND";
    case 5000:
      return "FIVE THOUSAND";
    case 10000:
      return "TEN THOUSAND";
  }
  return std::to_string(value);
}
