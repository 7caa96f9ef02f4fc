// corvan-dosh: makes, inspects and takes apart the saver's lump files, the
// currency files (".dosh") and the resource file (".artifacts").
//
// Exit status: 0 done; 1 a value, a file or an image was wrong (the message
// says which and where); 2 the command line itself could not be understood.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "Catalogue.h"
#include "LumpWriter.h"
#include "PngIO.h"
#include "TGAWriter.h"
#include "data/CurrencyLimits.h"
#include "data/MoneyFile.h"
#include "data/Paths.h"
#include "data/ResFile.h"
#include "image/TGALoader.h"
#include "image/Texture.h"
#include "platform/Alert.h"
#include "platform/RegularFile.h"

namespace {

const int kOk = 0;
const int kFailed = 1;
const int kUsage = 2;

const char kPackUsage[] =
    "corvan-dosh pack OUT.dosh --name NAME [--version 0|1] IMAGE:WxH[:ALPHA]...";
const char kPackResUsage[] = "corvan-dosh pack-res OUT.artifacts IMAGE[:ALPHA]...";
const char kInfoUsage[] = "corvan-dosh info FILE";
const char kExtractUsage[] = "corvan-dosh extract FILE INDEX OUT.tga|OUT.png";
const char kDecodeUsage[] = "corvan-dosh decode IN.tga OUT.raw";

const char kHelp[] =
    "usage:\n"
    "  corvan-dosh pack OUT.dosh --name NAME [--version 0|1] IMAGE:WxH[:ALPHA]...\n"
    "      Writes a currency file with one note per image, in order. A .tga image\n"
    "      is stored as it is, a .png one converted. WxH is the note's size in\n"
    "      hundredths of a note unit (x or \xC3\x97), ALPHA its alpha mode (default 0).\n"
    "      NAME is at most 39 bytes; the version defaults to 1.\n"
    "  corvan-dosh pack-res OUT.artifacts IMAGE[:ALPHA]...\n"
    "      Writes a resource file with one lump per image, in order.\n"
    "  corvan-dosh info FILE\n"
    "      Shows the header and lumps of a currency or resource file and checks\n"
    "      that every image decodes. A currency past the saver's limits (64 notes,\n"
    "      4096 texels a side, 256 MiB of decoded pixels) is refused undecoded.\n"
    "  corvan-dosh extract FILE INDEX OUT.tga|OUT.png\n"
    "      Writes lump INDEX as stored (.tga) or decoded, top row first (.png).\n"
    "  corvan-dosh decode IN.tga OUT.raw\n"
    "      Decodes an image as the saver does and writes its pixels as they are\n"
    "      held (rows in file order); prints WIDTH HEIGHT BITS.\n"
    "  corvan-dosh catalogue DIR [--base URL]\n"
    "      Writes a catalogue of the currency files in DIR (an XML property list,\n"
    "      sorted by name) to standard output, for any web server to offer. Each\n"
    "      entry's address is the file's name, or URL/name with --base.\n"
    "  corvan-dosh fetch URL [--into DIR] [--timeout SECONDS] [--cacert FILE] [NAME...]\n"
    "      Lists the currencies of the catalogue at URL, or installs those named\n"
    "      into DIR (default: ~/.local/share/corvan3d/CorvanData). Each file is\n"
    "      checked before it replaces anything.\n";

using Args = std::vector<std::string>;
using Bytes = std::vector<unsigned char>;

int UsageError(const std::string& problem, const char* usage) {
  std::fprintf(stderr, "corvan-dosh: %s\nusage: %s\n", problem.c_str(), usage);
  return kUsage;
}

int Failure(const std::string& message) {
  std::fprintf(stderr, "%s\n", message.c_str());
  return kFailed;
}

// ---- parsing ------------------------------------------------------------------

bool ParseUnsigned(const std::string& text, uint32_t* value) {
  if (text.empty() || text.size() > 10) return false;
  uint64_t result = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    result = result * 10 + uint64_t(c - '0');
  }
  if (result > UINT32_MAX) return false;
  *value = uint32_t(result);
  return true;
}

bool LooksSigned(const std::string& text) {
  const size_t start = !text.empty() && (text[0] == '-' || text[0] == '+') ? 1 : 0;
  return text.size() > start && text.find_first_not_of("0123456789", start) == std::string::npos;
}

bool ParseSigned(const std::string& text, int32_t* value) {
  if (!LooksSigned(text)) return false;
  const bool negative = text[0] == '-';
  uint32_t magnitude = 0;
  if (!ParseUnsigned(text.substr(text[0] == '-' || text[0] == '+' ? 1 : 0), &magnitude))
    return false;
  if (magnitude > (negative ? 2147483648u : 2147483647u)) return false;
  *value = negative ? int32_t(-int64_t(magnitude)) : int32_t(magnitude);
  return true;
}

// "156x66" or "156×66": a note's width and height, both positive.
bool ParseNoteSize(const std::string& text, uint32_t* width, uint32_t* height) {
  size_t at = text.find('x');
  size_t length = 1;
  if (at == std::string::npos) {
    at = text.find("\xC3\x97");
    length = 2;
  }
  if (at == std::string::npos) return false;
  return ParseUnsigned(text.substr(0, at), width) &&
         ParseUnsigned(text.substr(at + length), height) && *width > 0 && *height > 0;
}

std::string LowerExtension(const std::string& path) {
  const size_t dot = path.rfind('.');
  if (dot == std::string::npos || path.find('/', dot) != std::string::npos) return "";
  std::string extension = path.substr(dot);
  for (char& c : extension)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return extension;
}

struct ImageItem {
  std::string path;
  int32_t alphaMode = 0;
  uint32_t width = 0;
  uint32_t height = 0;
};

// Splits "PATH:ALPHA" from the right when the last part is a number, so that
// the path itself may contain ':'.
void SplitAlpha(const std::string& text, std::string* rest, std::string* alpha) {
  const size_t colon = text.rfind(':');
  if (colon != std::string::npos && LooksSigned(text.substr(colon + 1))) {
    *rest = text.substr(0, colon);
    *alpha = text.substr(colon + 1);
  } else {
    *rest = text;
    alpha->clear();
  }
}

bool ParseAlpha(const std::string& arg, const std::string& alpha, ImageItem* item,
                std::string* error) {
  if (alpha.empty() || ParseSigned(alpha, &item->alphaMode)) return true;
  *error = arg + ": alpha mode " + alpha + " does not fit in 32 bits";
  return false;
}

// IMAGE:WxH[:ALPHA]
bool ParseNoteItem(const std::string& arg, ImageItem* item, std::string* error) {
  std::string rest, alpha;
  SplitAlpha(arg, &rest, &alpha);
  const size_t colon = rest.rfind(':');
  if (colon == std::string::npos || colon == 0) {
    *error = arg + ": expected IMAGE:WxH[:ALPHA], e.g. notes/ten.png:156x66";
    return false;
  }
  item->path = rest.substr(0, colon);
  const std::string size = rest.substr(colon + 1);
  if (!ParseNoteSize(size, &item->width, &item->height)) {
    *error = arg + ": bad note size \"" + size +
             "\": expected WxH, two positive whole numbers in hundredths of a note unit";
    return false;
  }
  return ParseAlpha(arg, alpha, item, error);
}

// IMAGE[:ALPHA]
bool ParseResourceItem(const std::string& arg, ImageItem* item, std::string* error) {
  std::string alpha;
  SplitAlpha(arg, &item->path, &alpha);
  if (item->path.empty()) {
    *error = arg + ": expected IMAGE[:ALPHA]";
    return false;
  }
  return ParseAlpha(arg, alpha, item, error);
}

// ---- images -------------------------------------------------------------------

bool ReadWholeFile(const std::string& path, Bytes* bytes, std::string* error) {
  std::ifstream in;
  std::string why;
  if (!OpenRegularStream(path.c_str(), &in, &why)) {
    *error = path + ": " + why;
    return false;
  }
  bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (in.bad()) {
    *error = path + ": read error";
    return false;
  }
  return true;
}

// The saver takes no image larger than kMaxImageSide texels a side, so
// neither does the tool: a larger one is refused from its header, before it
// is decoded. A header the decoder would not take is left to it to describe.
bool WithinSide(const std::string& path, const unsigned char* header, size_t length,
                std::string* error) {
  TGASize size;
  if (length < 18 || !PeekTGAHeader(header, &size)) return true;
  const std::string excess = ImageSideExcess(size, kMaxImageSide);
  if (excess.empty()) return true;
  *error = path + ": " + excess;
  return false;
}

// The same for a TGA file, from its first 18 bytes.
bool TGAFileWithinSide(const std::string& path, std::string* error) {
  unsigned char header[18];
  std::ifstream in;
  if (!OpenRegularStream(path.c_str(), &in, nullptr)) return true;  // the decoder says why
  in.read(reinterpret_cast<char*>(header), sizeof header);
  return WithinSide(path, header, size_t(in.gcount()), error);
}

// The decoded size of a lump's image, 0 for one the decoder would not take.
uint64_t DecodedBytes(const Bytes& tga) {
  TGASize size;
  return tga.size() >= 18 && PeekTGAHeader(tga.data(), &size) ? size.DecodedBytes() : 0;
}

// The TGA bytes of one lump: a TGA file as it is, once the saver's decoder
// has accepted it; a PNG file converted.
bool LoadLumpImage(const std::string& path, Bytes* tga, std::string* error) {
  const std::string extension = LowerExtension(path);
  if (extension == ".tga") {
    if (!ReadWholeFile(path, tga, error)) return false;
    if (!WithinSide(path, tga->data(), tga->size(), error)) return false;
    Texture texture;
    if (LoadTGA(&texture, path.c_str())) return true;  // the decoder's alert has said why not
    *error = path + ": not a TGA image the saver can read";
    return false;
  }
  if (extension == ".png") {
    Image image;
    if (!ReadPNG(path, &image, error, kMaxImageSide)) return false;
    if (image.width > 0xFFFF || image.height > 0xFFFF) {
      *error = path + ": " + std::to_string(image.width) + "x" + std::to_string(image.height) +
               " is too large for a TGA image (at most 65535 pixels a side)";
      return false;
    }
    *tga = EncodeSmallestTGA(FlipRows(image));  // TGA rows run bottom to top
    return true;
  }
  *error = path + ": unknown image type: use .tga or .png";
  return false;
}

Image ImageOf(const Texture& texture) {
  Image image;
  image.width = texture.width;
  image.height = texture.height;
  image.bitsPerPixel = texture.bitsPerPixel;
  const size_t size = size_t(texture.width) * texture.height * (texture.bitsPerPixel / 8);
  image.pixels.assign(texture.pixels, texture.pixels + size);
  return image;
}

// ---- pack, pack-res -------------------------------------------------------------

struct PackArgs {
  std::string out;
  std::vector<std::string> images;
  std::string name;
  bool haveName = false;
  std::string version = "1";
};

// Reads OUT, the images and (for pack) --name and --version, in any order.
int ParsePackArgs(const Args& args, bool currency, PackArgs* parsed) {
  const char* usage = currency ? kPackUsage : kPackResUsage;
  std::vector<std::string> positional;
  bool optionsEnded = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      positional.push_back(arg);
    } else if (arg == "--") {
      optionsEnded = true;
    } else if (currency && (arg == "--name" || arg == "--version")) {
      if (i + 1 == args.size()) return UsageError(arg + " needs a value", usage);
      (arg == "--name" ? parsed->name : parsed->version) = args[++i];
      parsed->haveName |= arg == "--name";
    } else if (currency && arg.compare(0, 7, "--name=") == 0) {
      parsed->name = arg.substr(7);
      parsed->haveName = true;
    } else if (currency && arg.compare(0, 10, "--version=") == 0) {
      parsed->version = arg.substr(10);
    } else {
      return UsageError("unknown option " + arg, usage);
    }
  }
  if (positional.size() < 2)
    return UsageError("needs an output file and at least one image", usage);
  if (currency && !parsed->haveName) return UsageError("--name is required", usage);
  parsed->out = positional[0];
  parsed->images.assign(positional.begin() + 1, positional.end());
  return kOk;
}

// A lump file's offsets and size check are 32-bit.
bool FitsInFile(const std::string& out, uint64_t total, std::string* error) {
  if (total <= UINT32_MAX) return true;
  *error =
      out + ": " + std::to_string(total) + " bytes is too large for a lump file (at most 4 GiB)";
  return false;
}

int Pack(const Args& args) {
  PackArgs parsed;
  if (const int status = ParsePackArgs(args, true, &parsed); status != kOk) return status;
  if (parsed.name.empty() || parsed.name.size() > 39)
    return Failure("corvan-dosh: name \"" + parsed.name + "\" is " +
                   std::to_string(parsed.name.size()) + " bytes long: it must be 1 to 39 bytes");
  if (parsed.version != "0" && parsed.version != "1")
    return Failure("corvan-dosh: version \"" + parsed.version + "\": must be 0 or 1");

  if (parsed.images.size() > kMaxCurrencyNotes)
    return Failure("corvan-dosh: " + std::to_string(parsed.images.size()) +
                   " images: a currency holds at most " + std::to_string(kMaxCurrencyNotes) +
                   " notes");

  std::vector<ImageItem> items(parsed.images.size());
  std::string error;
  for (size_t i = 0; i < items.size(); ++i)
    if (!ParseNoteItem(parsed.images[i], &items[i], &error)) return Failure(error);

  std::vector<CurrencyLump> lumps(items.size());
  uint64_t total = 64 + 24 * uint64_t(items.size());
  uint64_t pixelBytes = 0;
  for (size_t i = 0; i < items.size(); ++i) {
    if (!LoadLumpImage(items[i].path, &lumps[i].data, &error)) return Failure(error);
    pixelBytes += DecodedBytes(lumps[i].data);
    if (pixelBytes > kMaxCurrencyPixelBytes)
      return Failure(parsed.out + ": the images up to " + items[i].path + " hold " +
                     std::to_string(pixelBytes) + " bytes of decoded pixels, at most " +
                     std::to_string(kMaxCurrencyPixelBytes));
    lumps[i].alphaMode = items[i].alphaMode;
    lumps[i].width = items[i].width;
    lumps[i].height = items[i].height;
    total += lumps[i].data.size();
  }
  if (!FitsInFile(parsed.out, total, &error)) return Failure(error);
  const Bytes file = BuildCurrencyFile(parsed.name, uint8_t(parsed.version[0] - '0'), lumps);
  if (!WriteFileAtomically(parsed.out, file, &error)) return Failure(error);
  std::printf("%s: currency \"%s\", %zu notes, %zu bytes\n", parsed.out.c_str(),
              parsed.name.c_str(), lumps.size(), file.size());
  return kOk;
}

int PackRes(const Args& args) {
  PackArgs parsed;
  if (const int status = ParsePackArgs(args, false, &parsed); status != kOk) return status;

  std::vector<ResourceLump> lumps(parsed.images.size());
  uint64_t total = 24 + 28 * uint64_t(lumps.size());
  std::string error;
  for (size_t i = 0; i < lumps.size(); ++i) {
    ImageItem item;
    if (!ParseResourceItem(parsed.images[i], &item, &error)) return Failure(error);
    if (!LoadLumpImage(item.path, &lumps[i].data, &error)) return Failure(error);
    lumps[i].alphaMode = item.alphaMode;
    total += lumps[i].data.size();
  }
  if (!FitsInFile(parsed.out, total, &error)) return Failure(error);
  const Bytes file = BuildResourceFile(lumps);
  if (!WriteFileAtomically(parsed.out, file, &error)) return Failure(error);
  std::printf("%s: resource file, %zu lumps, %zu bytes\n", parsed.out.c_str(), lumps.size(),
              file.size());
  return kOk;
}

// ---- reading lump files ------------------------------------------------------------

// The magic decides the format; without one, the extension picks the reader
// whose complaint is shown.
bool IsResourceFile(const std::string& path) {
  unsigned char start[44] = {};
  std::ifstream in;
  if (OpenRegularStream(path.c_str(), &in, nullptr))
    in.read(reinterpret_cast<char*>(start), sizeof start);
  const std::streamsize got = in.gcount();
  if (got >= 44 && std::memcmp(start + 40, "CORV", 4) == 0) return false;
  if (got >= 4 && std::memcmp(start, "BRMF", 4) == 0) return true;
  return LowerExtension(path) == ".artifacts";
}

// Opens path with the right reader and hands it to use(file, isCurrency).
template <class USE>
int WithLumpFile(const std::string& path, USE use) {
  if (IsResourceFile(path)) {
    RESFILE file;
    if (!file.Open(path.c_str())) return Failure(path + ": " + file.failure);
    return use(file, false);
  }
  MONEYFILE file;
  if (!file.Open(path.c_str())) return Failure(path + ": " + file.failure);
  return use(file, true);
}

std::string NoteSize(const MONEYLUMP& lump) {
  return std::to_string(lump.width) + "x" + std::to_string(lump.height);
}
std::string NoteSize(const RESLUMP&) { return ""; }

void PrintHeader(const std::string& path, const MONEYFILE& file) {
  std::printf("%s: currency file\n", path.c_str());
  std::printf("  name        %s\n", Printable(file.header.name).c_str());
  std::printf("  version     %u\n", unsigned(file.header.version));
}

void PrintHeader(const std::string& path, const RESFILE&) {
  std::printf("%s: resource file\n", path.c_str());
}

// Decodes lump index as the saver would and describes the image, or gives
// the decoder's own message when it fails.
template <class FILE_T>
bool DescribeImage(FILE_T& file, int index, std::string* description) {
  if (!file.SeekLump(index)) {
    *description = "cannot seek to the lump";
    return false;
  }
  std::string alert;
  Texture texture;
  bool decoded;
  {
    ScopedAlertHandler quiet([&alert](const char* text, const char* caption) {
      if (alert.empty()) alert = std::string(caption) + ": " + text;
    });
    decoded = LoadTGA2(&texture, &file.stream);
  }
  if (!decoded) {
    *description = alert;
    return false;
  }
  *description = std::to_string(texture.width) + "x" + std::to_string(texture.height) + ", " +
                 std::to_string(texture.bitsPerPixel) + " bits";
  // An image that needs more bytes than its lump holds takes them from what follows.
  const std::streamoff end = file.stream.tellg();
  if (end >= 0 && uint64_t(end) - file.lumps[index].offset > file.lumps[index].size)
    *description += " (reads past the lump's end)";
  return true;
}

// What the saver allows a currency and what this one costs, measured as the
// saver does before decoding anything. False, after saying why, when the
// saver would refuse it (a GL whose largest texture is smaller than
// kMaxImageSide refuses smaller images too).
bool PrintLimits(const std::string& path, MONEYFILE& file) {
  CurrencyCost cost;
  std::string why;
  const bool within = CheckCurrencyLimits(&file, 0, &cost, &why);
  std::printf("  limits      %u notes, %u texels a side, %llu bytes of decoded pixels\n",
              unsigned(kMaxCurrencyNotes), unsigned(kMaxImageSide),
              static_cast<unsigned long long>(kMaxCurrencyPixelBytes));
  if (!within) {
    std::fflush(stdout);
    Failure(path + ": " + why);
    return false;
  }
  std::printf("  cost        %u notes, %u texels a side, %llu bytes of decoded pixels\n",
              unsigned(cost.notes), unsigned(cost.largestSide),
              static_cast<unsigned long long>(cost.pixelBytes));
  return true;
}

bool PrintLimits(const std::string&, RESFILE&) { return true; }

template <class FILE_T>
int PrintInfo(const std::string& path, FILE_T& file, bool currency) {
  PrintHeader(path, file);
  std::printf("  lumps       %u\n", unsigned(file.header.numLumps));
  std::printf("  directory   at offset %u\n", unsigned(file.header.dirOffset));
  std::printf("  size check  0x%08X (file is %u bytes)\n", unsigned(file.header.sizeCheck),
              unsigned(file.fileSize));
  // Nothing past the limits is decoded.
  if (!PrintLimits(path, file)) return kFailed;
  std::printf("\n");

  std::printf("  %5s %6s %10s %10s %6s", "lump", "type", "offset", "size", "alpha");
  if (currency) std::printf("  %-10s", "note size");
  std::printf("  image\n");
  int failed = 0;
  for (uint32_t i = 0; i < file.header.numLumps; ++i) {
    const auto& lump = file.lumps[i];
    std::string image = "not an image";
    if (lump.type == 1 && !DescribeImage(file, int(i), &image)) ++failed;
    std::printf("  %5u %6u %10u %10u %6d", unsigned(i), unsigned(lump.type), unsigned(lump.offset),
                unsigned(lump.size), int(lump.alphaMode));
    if (currency) std::printf("  %-10s", NoteSize(lump).c_str());
    std::printf("  %s\n", image.c_str());
  }
  if (failed > 0)
    return Failure(path + ": " + std::to_string(failed) + " image lump(s) do not decode");
  return kOk;
}

int Info(const Args& args) {
  if (args.size() != 1) return UsageError("info needs one file", kInfoUsage);
  const std::string& path = args[0];
  return WithLumpFile(
      path, [&path](auto& file, bool currency) { return PrintInfo(path, file, currency); });
}

// ---- extract, decode ------------------------------------------------------------

template <class FILE_T>
int ExtractStored(const std::string& path, FILE_T& file, int index, const std::string& out) {
  void* data = nullptr;
  if (!file.LoadData(index, &data))
    return Failure(path + ": cannot read lump " + std::to_string(index) + " (" +
                   std::to_string(file.lumps[index].size) + " bytes at offset " +
                   std::to_string(file.lumps[index].offset) + ")");
  std::unique_ptr<unsigned char[]> owned(static_cast<unsigned char*>(data));
  const Bytes bytes(owned.get(), owned.get() + file.lumps[index].size);
  std::string error;
  if (!WriteFileAtomically(out, bytes, &error)) return Failure(error);
  return kOk;
}

template <class FILE_T>
int ExtractDecoded(const std::string& path, FILE_T& file, int index, const std::string& out) {
  unsigned char prefix[18] = {};
  if (file.SeekLump(index)) file.stream.read(reinterpret_cast<char*>(prefix), sizeof prefix);
  std::string error;
  const std::string lump = path + ": lump " + std::to_string(index);
  if (!WithinSide(lump, prefix, size_t(file.stream.gcount()), &error)) return Failure(error);
  Texture texture;
  if (!file.SeekLump(index) || !LoadTGA2(&texture, &file.stream))
    return Failure(path + ": lump " + std::to_string(index) + " does not decode");
  // PNG rows run top to bottom; TGA rows bottom to top unless the
  // descriptor says the origin is at the top.
  const bool topFirst = (prefix[17] & 0x20) != 0;
  const Image image = ImageOf(texture);
  if (!WritePNG(out, topFirst ? image : FlipRows(image), &error)) return Failure(error);
  return kOk;
}

int Extract(const Args& args) {
  if (args.size() != 3)
    return UsageError("extract needs a file, a lump number and an output file", kExtractUsage);
  const std::string& path = args[0];
  const std::string& out = args[2];
  uint32_t index = 0;
  if (!ParseUnsigned(args[1], &index))
    return Failure("corvan-dosh: \"" + args[1] + "\" is not a lump number");
  const std::string extension = LowerExtension(out);
  if (extension != ".tga" && extension != ".png")
    return Failure(out + ": unknown output type: use .tga (as stored) or .png (decoded)");

  return WithLumpFile(path, [&](auto& file, bool) {
    if (index >= file.header.numLumps)
      return Failure(path + ": no lump " + std::to_string(index) + ": the file has " +
                     std::to_string(file.header.numLumps) + " lumps");
    if (extension == ".tga") return ExtractStored(path, file, int(index), out);
    return ExtractDecoded(path, file, int(index), out);
  });
}

// Decodes with the saver's own decoder; a failure is its alert line alone.
int Decode(const Args& args) {
  if (args.size() != 2) return UsageError("decode needs an image and an output file", kDecodeUsage);
  std::string error;
  if (!TGAFileWithinSide(args[0], &error)) return Failure(error);
  Texture texture;
  if (!LoadTGA(&texture, args[0].c_str())) return kFailed;
  const size_t size = size_t(texture.width) * texture.height * (texture.bitsPerPixel / 8);
  if (!WriteFileAtomically(args[1], Bytes(texture.pixels, texture.pixels + size), &error))
    return Failure(error);
  std::printf("%u %u %u\n", unsigned(texture.width), unsigned(texture.height),
              unsigned(texture.bitsPerPixel));
  return kOk;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs(kHelp, stderr);
    return kUsage;
  }
  const std::string command = argv[1];
  const Args args(argv + 2, argv + argc);
  if (command == "--help" || command == "-h" || command == "help") {
    std::fputs(kHelp, stdout);
    std::fputs(
        "  corvan-dosh --help | --version\n"
        "      Prints this text, or the version. See corvan-dosh(1).\n",
        stdout);
    return kOk;
  }
  if (command == "--version") {  // the project's
    std::printf("corvan-dosh %s\n", CORVAN_VERSION);
    return kOk;
  }
  if (command == "pack") return Pack(args);
  if (command == "pack-res") return PackRes(args);
  if (command == "info") return Info(args);
  if (command == "extract") return Extract(args);
  if (command == "decode") return Decode(args);
  if (command == "catalogue") return CatalogueCommand(args);
  if (command == "fetch") return FetchCommand(args);
  std::fprintf(stderr, "corvan-dosh: unknown command \"%s\"\n%s", command.c_str(), kHelp);
  return kUsage;
}
