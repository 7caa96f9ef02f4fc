#include "TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

TempDir::TempDir() {
  char pattern[] = "/tmp/corvan-test-XXXXXX";
  dir = mkdtemp(pattern) ? pattern : (ADD_FAILURE() << "cannot create a scratch folder", "/tmp");
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(dir, ignored);
}

std::string TempDir::Write(const std::string& name, const Bytes& bytes) const {
  std::ofstream out(Path(name), std::ios::binary | std::ios::trunc);
  if (!out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size())))
    ADD_FAILURE() << "cannot write " << name;
  return Path(name);
}

Bytes ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

void PutLE32(Bytes& bytes, size_t at, uint32_t value) {
  bytes.resize(std::max(bytes.size(), at + 4));
  for (int i = 0; i < 4; ++i) bytes[at + i] = uint8_t(value >> (8 * i));
}

Bytes MakeTGA(uint8_t type, uint16_t width, uint16_t height, uint8_t depth, const Bytes& data,
              uint8_t descriptor) {
  Bytes file(18 + data.size(), 0);
  file[2] = type;
  file[12] = uint8_t(width);
  file[13] = uint8_t(width >> 8);
  file[14] = uint8_t(height);
  file[15] = uint8_t(height >> 8);
  file[16] = depth;
  file[17] = descriptor;
  std::copy(data.begin(), data.end(), file.begin() + 18);
  return file;
}

AlertRecorder::AlertRecorder()
    : scope([this](const char* text, const char* caption) { alerts.emplace_back(caption, text); }) {
}

std::string AlertRecorder::Only() const {
  return alerts.size() == 1 ? alerts[0].first + ": " + alerts[0].second
                            : std::to_string(alerts.size()) + " alerts";
}
