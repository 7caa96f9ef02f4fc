#include "Options.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

constexpr double kLongestStep = 2.0;  // longer steps would all be skipped by the view

bool ParseWhole(const char* text, int base, unsigned long long* value) {
  if (*text == '\0' || *text == '-' || *text == '+' ||
      std::isspace(static_cast<unsigned char>(*text)))
    return false;
  char* end = nullptr;
  errno = 0;
  *value = std::strtoull(text, &end, base);
  return errno == 0 && *end == '\0';
}

bool ParseInt(const char* text, int lowest, int highest, int* value) {
  unsigned long long n = 0;
  if (!ParseWhole(text, 10, &n) || n < static_cast<unsigned long long>(lowest) ||
      n > static_cast<unsigned long long>(highest))
    return false;
  *value = static_cast<int>(n);
  return true;
}

bool ParseSize(const char* text, int* width, int* height) {
  const char* x = std::strpbrk(text, "xX");
  if (x == nullptr) return false;
  const std::string w(text, x);
  return ParseInt(w.c_str(), 1, 16384, width) && ParseInt(x + 1, 1, 16384, height);
}

bool ParseDecimal(const char* text, double* value) {
  if (*text == '\0' || std::isspace(static_cast<unsigned char>(*text))) return false;
  char* end = nullptr;
  *value = std::strtod(text, &end);
  return *end == '\0' && std::isfinite(*value);
}

// Seconds, as a decimal ("0.05") or a fraction ("1/35").
bool ParseStep(const char* text, double* step) {
  const char* slash = std::strchr(text, '/');
  double value = 0.0;
  if (slash == nullptr) {
    if (!ParseDecimal(text, &value)) return false;
  } else {
    const std::string top(text, slash);
    double numerator = 0.0, denominator = 0.0;
    if (!ParseDecimal(top.c_str(), &numerator) || !ParseDecimal(slash + 1, &denominator) ||
        denominator == 0.0)
      return false;
    value = numerator / denominator;
  }
  if (!(value > 0.0 && value <= kLongestStep)) return false;
  *step = value;
  return true;
}

bool ParseSeed(const char* text, uint32_t* seed) {
  unsigned long long n = 0;
  if (!ParseWhole(text, 10, &n) || n > 0xFFFFFFFFull) return false;
  *seed = static_cast<uint32_t>(n);
  return true;
}

bool TakesValue(const std::string& name) {
  for (const char* option : {"window-id", "frames", "size", "step", "seed", "out", "trace"})
    if (name == option) return true;
  return false;
}

bool HeadlessOnly(const std::string& name) {
  return (TakesValue(name) && name != "window-id") || name == "stats";
}

// Applies one option with its value (empty for flags).
bool Apply(const std::string& name, const char* value, Options* o, int* hosts, std::string* error) {
  auto choose = [&](HostKind kind) {
    if (o->host != kind) ++*hosts;
    o->host = kind;
    return true;
  };
  if (name == "fullscreen") return choose(HostKind::kFullScreen);
  if (name == "idle") return choose(HostKind::kIdle);
  if (name == "settings") return choose(HostKind::kSettings);
  if (name == "headless") return choose(HostKind::kHeadless);
  if (name == "root") return choose(HostKind::kXScreenSaver);
  if (name == "stats") return o->stats = true;
  if (name == "window-id") {
    if (!ParseWindowId(value, &o->windowId)) {
      *error =
          std::string("--window-id wants a window id (0x... or decimal), not \"") + value + "\"";
      return false;
    }
    return choose(HostKind::kXScreenSaver);
  }
  bool ok = *value != '\0';
  if (name == "frames") ok = ParseInt(value, 1, 100000000, &o->frames);
  if (name == "size") ok = ParseSize(value, &o->width, &o->height);
  if (name == "step") ok = ParseStep(value, &o->step);
  if (name == "seed") ok = o->hasSeed = ParseSeed(value, &o->seed);
  if (name == "out") o->outDir = value;
  if (name == "trace") o->traceFile = value;
  if (!ok) *error = "--" + name + ": bad value \"" + value + "\"";
  return ok;
}

bool Known(const std::string& name) {
  for (const char* flag :
       {"help", "h", "version", "fullscreen", "idle", "settings", "headless", "root", "stats"})
    if (name == flag) return true;
  return TakesValue(name);
}

}  // namespace

bool ParseWindowId(const char* text, unsigned long* id) {
  unsigned long long n = 0;
  const bool hex = text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  if (!ParseWhole(hex ? text + 2 : text, hex ? 16 : 10, &n) || n == 0 || n > 0xFFFFFFFFull)
    return false;
  *id = static_cast<unsigned long>(n);
  return true;
}

bool ParseOptions(int argc, const char* const* argv, Options* options, std::string* error) {
  *options = Options();
  int hosts = 0;
  bool headlessOptions = false, help = false, version = false;
  for (int i = 0; i < argc; ++i) {
    const std::string arg = argv[i];
    const size_t dashes = arg.compare(0, 2, "--") == 0 ? 2 : arg.compare(0, 1, "-") == 0 ? 1 : 0;
    std::string name = arg.substr(dashes);
    const size_t equals = name.find('=');
    std::string inlineValue;
    if (equals != std::string::npos) {
      inlineValue = name.substr(equals + 1);
      name.resize(equals);
    }
    if (dashes == 0 || !Known(name)) {
      *error = "unknown option \"" + arg + "\"";
      return false;
    }
    const char* value = "";
    if (TakesValue(name)) {
      if (equals != std::string::npos) {
        value = argv[i] + (arg.size() - inlineValue.size());
      } else if (i + 1 < argc) {
        value = argv[++i];
      } else {
        *error = "--" + name + " needs a value";
        return false;
      }
    } else if (equals != std::string::npos) {
      *error = "--" + name + " takes no value";
      return false;
    }
    headlessOptions = headlessOptions || HeadlessOnly(name);
    help = help || name == "help" || name == "h";
    version = version || name == "version";
    if (!help && !version && !Apply(name, value, options, &hosts, error)) return false;
  }
  if (help || version) {
    options->host = help ? HostKind::kHelp : HostKind::kVersion;
    return true;
  }
  if (hosts > 1) {
    *error = "choose one of --fullscreen, --idle, --root, --settings and --headless";
    return false;
  }
  if (headlessOptions && options->host != HostKind::kHeadless) {
    *error = "--frames, --size, --step, --seed, --out, --trace and --stats go with --headless";
    return false;
  }
  return true;
}

const char* UsageLine() {
  return "usage: corvan3d [--fullscreen | --idle | --root [--window-id ID] | --settings | "
         "--headless [--frames N] "
         "[--size WxH] [--step S] [--seed N] [--out DIR] [--trace FILE] [--stats]]";
}
