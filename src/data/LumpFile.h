// What the currency file and the resource file readers have in common: an
// open binary stream, a header read from offset 0, and a directory of lumps
// addressed by position. The two formats differ in their header and entry
// layouts and in the checks Open makes; those live in MONEYFILE and RESFILE.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>

// Little-endian 32-bit word at p.
uint32_t ReadLE32(const unsigned char* p);

// Four magic bytes as a quoted string, non-printable bytes as \xNN escapes.
std::string DescribeMagic(const char* magic);

// HEADER and LUMP are records with a Parse(bytes) member and a SIZE in bytes.
template <class HEADER, class LUMP>
class LUMPFILE {
public:
  std::string path;       // the file last opened
  uint32_t fileSize = 0;  // low 32 bits of the open file's length
  std::ifstream stream;   // public: images are decoded straight from it after SeekLump
  HEADER header{};
  LUMP* lumps = nullptr;  // the directory, numLumps entries

  // Why the last Open failed, for tools and error messages
  // ("size check mismatch: file is 1043 bytes, header says 1044").
  std::string failure;

  LUMPFILE() = default;
  ~LUMPFILE() { Close(); }
  LUMPFILE(const LUMPFILE&) = delete;
  LUMPFILE& operator=(const LUMPFILE&) = delete;

  // Releases the directory and closes the stream; harmless at any time.
  void Close();

  // Positions stream at the first byte of lump index; false (stream untouched)
  // when no file is open or index is out of range.
  bool SeekLump(int index);

  // Reads lump index into a new byte array owned by the caller (delete[]).
  // Nothing is stored through data on failure.
  bool LoadData(int index, void** data);

protected:
  // Opens path, measures the file and reads and parses the header.
  bool OpenAndReadHeader(const char* path);
  // Checks that the directory fits in the file, then allocates and reads it.
  bool ReadDirectory(uint32_t numLumps, uint32_t dirOffset);
  // The checks both formats make, each recording why it failed.
  bool CheckMagic(const char* magic, const char* expected, const char* kind, int offset);
  bool CheckSize(uint32_t sizeCheck);
  bool Fail(std::string why);

private:
  bool ValidIndex(int index) const;
};
