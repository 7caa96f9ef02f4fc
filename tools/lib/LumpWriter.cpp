#include "LumpWriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

const size_t kCurrencyHeaderSize = 64;
const size_t kCurrencyEntrySize = 24;
const size_t kResourceHeaderSize = 24;
const size_t kResourceEntrySize = 28;

void PutLE32(std::vector<unsigned char>& bytes, size_t at, uint32_t value) {
  bytes[at] = static_cast<unsigned char>(value);
  bytes[at + 1] = static_cast<unsigned char>(value >> 8);
  bytes[at + 2] = static_cast<unsigned char>(value >> 16);
  bytes[at + 3] = static_cast<unsigned char>(value >> 24);
}

void AppendLE32(std::vector<unsigned char>& bytes, uint32_t value) {
  bytes.resize(bytes.size() + 4);
  PutLE32(bytes, bytes.size() - 4, value);
}

// Appends every lump's data after the header and returns their offsets.
template <class LUMP>
std::vector<uint32_t> AppendLumpData(std::vector<unsigned char>& bytes,
                                     const std::vector<LUMP>& lumps) {
  std::vector<uint32_t> offsets;
  for (const LUMP& lump : lumps) {
    offsets.push_back(static_cast<uint32_t>(bytes.size()));
    bytes.insert(bytes.end(), lump.data.begin(), lump.data.end());
  }
  return offsets;
}

// The size check is the complement of the finished file's length, so it is
// the last thing written.
void FillSizeCheck(std::vector<unsigned char>& bytes, size_t at) {
  PutLE32(bytes, at, ~static_cast<uint32_t>(bytes.size()));
}

}  // namespace

std::vector<unsigned char> BuildCurrencyFile(const std::string& name, uint8_t version,
                                             const std::vector<CurrencyLump>& lumps) {
  std::vector<unsigned char> bytes(kCurrencyHeaderSize, 0);
  // At most 39 bytes, so the name stays NUL-terminated within its 40.
  std::memcpy(bytes.data(), name.data(), std::min<size_t>(name.size(), 39));
  std::memcpy(bytes.data() + 40, "CORV", 4);
  bytes[45] = version;

  const std::vector<uint32_t> offsets = AppendLumpData(bytes, lumps);
  const uint32_t dirOffset = static_cast<uint32_t>(bytes.size());
  for (size_t i = 0; i < lumps.size(); ++i) {
    AppendLE32(bytes, static_cast<uint32_t>(lumps[i].data.size()));
    AppendLE32(bytes, offsets[i]);
    AppendLE32(bytes, lumps[i].type);
    AppendLE32(bytes, static_cast<uint32_t>(lumps[i].alphaMode));
    AppendLE32(bytes, lumps[i].width);
    AppendLE32(bytes, lumps[i].height);
  }
  static_assert(kCurrencyEntrySize == 6 * 4, "a currency directory entry is six words");
  PutLE32(bytes, 52, static_cast<uint32_t>(lumps.size()));
  PutLE32(bytes, 60, dirOffset);
  FillSizeCheck(bytes, 56);
  return bytes;
}

std::vector<unsigned char> BuildResourceFile(const std::vector<ResourceLump>& lumps) {
  std::vector<unsigned char> bytes(kResourceHeaderSize, 0);
  std::memcpy(bytes.data(), "BRMF", 4);

  const std::vector<uint32_t> offsets = AppendLumpData(bytes, lumps);
  const uint32_t dirOffset = static_cast<uint32_t>(bytes.size());
  for (size_t i = 0; i < lumps.size(); ++i) {
    AppendLE32(bytes, static_cast<uint32_t>(lumps[i].data.size()));
    AppendLE32(bytes, offsets[i]);
    AppendLE32(bytes, lumps[i].type);
    AppendLE32(bytes, static_cast<uint32_t>(lumps[i].alphaMode));
    bytes.resize(bytes.size() + 12, 0);
  }
  static_assert(kResourceEntrySize == 4 * 4 + 12,
                "a resource directory entry is four words and 12 bytes");
  PutLE32(bytes, 12, static_cast<uint32_t>(lumps.size()));
  PutLE32(bytes, 20, dirOffset);
  FillSizeCheck(bytes, 16);
  return bytes;
}

namespace {

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

bool WriteAll(int fd, const unsigned char* data, size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(fd, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += written;
    size -= size_t(written);
  }
  return true;
}

// The mode a newly created file would get (mkstemp's is 0600).
mode_t NewFileMode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

bool Failed(std::string* error, const std::string& path, const char* what, int code) {
  if (error != nullptr) *error = path + ": " + what + ": " + std::strerror(code);
  return false;
}

}  // namespace

bool WriteFileAtomically(const std::string& path, const std::vector<unsigned char>& bytes,
                         std::string* error) {
  if (path.empty() || path.back() == '/') return Failed(error, path, "not a file name", EISDIR);
  // The temporary file lives beside the target: rename only replaces
  // atomically within one file system.
  const std::string folder = FolderOf(path);
  const std::string base =
      path.substr(path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1);
  std::string temp = (folder == "/" ? "" : folder) + "/." + base + ".XXXXXX";
  const int fd = ::mkstemp(&temp[0]);
  if (fd < 0) return Failed(error, path, "cannot create a temporary file", errno);

  const char* step = nullptr;
  if (!WriteAll(fd, bytes.data(), bytes.size()))
    step = "cannot write";
  else if (::fchmod(fd, NewFileMode()) != 0)
    step = "cannot set permissions";
  else if (::fsync(fd) != 0)
    step = "cannot flush to disk";
  int code = errno;
  if (::close(fd) != 0 && step == nullptr) {
    step = "cannot write";
    code = errno;
  }
  if (step == nullptr && ::rename(temp.c_str(), path.c_str()) != 0) {
    step = "cannot replace";
    code = errno;
  }
  if (step != nullptr) {
    ::unlink(temp.c_str());
    return Failed(error, path, step, code);
  }
  return true;
}
