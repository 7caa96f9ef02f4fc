#include "TestFiles.h"

#include <glib.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

TempDir::TempDir() {
  char pattern[] = "/tmp/corvan-test-XXXXXX";
  const char* made = mkdtemp(pattern);
  if (made == nullptr) ADD_FAILURE() << "cannot create a scratch folder";
  dir = made ? made : "/tmp";
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(dir, ignored);
}

std::string TempDir::Write(const std::string& name, const Bytes& bytes) const {
  const std::string path = Path(name);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  if (!out) ADD_FAILURE() << "cannot write " << path;
  return path;
}

Bytes ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void PutLE32(Bytes& bytes, size_t at, uint32_t value) {
  if (bytes.size() < at + 4) bytes.resize(at + 4);
  for (int i = 0; i < 4; ++i) bytes[at + i] = uint8_t(value >> (8 * i));
}

void PutLE16(Bytes& bytes, size_t at, uint16_t value) {
  if (bytes.size() < at + 2) bytes.resize(at + 2);
  bytes[at] = uint8_t(value);
  bytes[at + 1] = uint8_t(value >> 8);
}

Bytes MakeTGA(uint8_t type, uint16_t width, uint16_t height, uint8_t depth, const Bytes& data,
              uint8_t descriptor) {
  Bytes file(18, 0);
  file[2] = type;
  PutLE16(file, 12, width);
  PutLE16(file, 14, height);
  file[16] = depth;
  file[17] = descriptor;
  file.insert(file.end(), data.begin(), data.end());
  return file;
}

std::string Sha256Hex(const unsigned char* data, size_t size) {
  gchar* hex = g_compute_checksum_for_data(G_CHECKSUM_SHA256, data, size);
  std::string result = hex;
  g_free(hex);
  return result;
}

AlertRecorder::AlertRecorder()
    : scope([this](const char* text, const char* caption) { alerts.emplace_back(caption, text); }) {}

std::string AlertRecorder::Only() const {
  if (alerts.size() != 1) return std::to_string(alerts.size()) + " alerts";
  return alerts[0].first + ": " + alerts[0].second;
}
