#pragma once
// DataFile: one sequential little-endian reader over a content file that may be missing from the
// file system. The name is tried as a plain file first; when that fails, the member with the same
// bare file name is taken whole out of the data archive and every later read is a memory copy.
#include <cstdint>
#include <cstdio>
#include <string>

namespace datafiles {

// The program's data archive, relative to the working directory, and its pass phrase.
inline constexpr const char* kDataArchivePath = "blow.job";
inline constexpr const char* kDataArchivePassPhrase = "marzipol";

enum DataFileSource : int32_t { None = 0, PlainFile = 1, ArchiveMember = 2 };

class DataFile {
 public:
  // Opens nothing; every query answers as for a file found nowhere, but `failed` is 0.
  DataFile();
  // Runs `open`; failure is not reported here, the caller asks `failed` afterwards.
  DataFile(const std::string& name, const char* mode);
  // The same with another archive and pass phrase (tests, tools); the program uses the defaults.
  DataFile(const std::string& name, const char* mode, const std::string& archivePath,
           const char* passPhrase);
  ~DataFile();
  DataFile(const DataFile&) = delete;
  DataFile& operator=(const DataFile&) = delete;

  // `name` uses backslashes as separators ("data\ballo.ob3"); they become '/' for the plain
  // file. When the plain file cannot be opened with `mode`, the archive member named by the part
  // after the last backslash is read in full (the archive itself always as raw bytes). Found
  // nowhere: `failed` is 1 and `source` None. Opening a DataFile that is already open closes it
  // first.
  void open(const std::string& name, const char* mode);
  void open(const std::string& name, const char* mode, const std::string& archivePath,
            const char* passPhrase);
  // Closes the file and frees the member; safe to call more than once.
  void close();
  int32_t failed() const { return openFailed; }
  DataFileSource sourceKind() const { return source; }

  // Plain file: stream size / position (4 GiB - 1 for anything beyond); member: memberSize /
  // position; nothing open: 0.
  uint32_t size();
  uint32_t tell();
  // A member position is not checked against the size; reads past the end yield zero bytes.
  void seek(uint32_t pos);
  // Plain file: the stream's end-of-file indicator (set only once a read ran into the end);
  // member: position >= memberSize; nothing open: false.
  bool atEnd();

  // Fixed-size readers, little-endian. Bytes that are not there (end of data, nothing open) read
  // as zero; a member read never touches memory outside the member.
  char readByte();
  uint16_t readWord();
  uint32_t readDword();
  float readFloat();
  // Up to n bytes, one at a time while not atEnd; returns the count stored.
  uint32_t readBytes(void* buffer, uint32_t n);
  // Bytes up to, not including, the first zero byte (or the end of the data).
  std::string readCString();
  // Bytes up to a line feed or the end of the data; carriage returns and line feeds are dropped.
  std::string readLine();

  // Writers act on a plain file only; on a member or with nothing open they do nothing.
  void writeByte(int value);
  void writeWord(uint16_t value);
  void writeDword(uint32_t value);
  void writeFloat(float value);
  void writeCString(const std::string& text);
  void writeBytes(const void* data, uint32_t n);

 private:
  // One read of n bytes from the current source into out; missing bytes are zero.
  void readRaw(uint8_t* out, uint32_t n);
  void writeRaw(const uint8_t* data, uint32_t n);

  DataFileSource source = None;
  std::FILE* file = nullptr;
  uint8_t* memberData = nullptr;  // standard heap (malloc/free), from the archive reader
  uint32_t position = 0;
  uint32_t memberSize = 0;
  int32_t openFailed = 0;
};

}  // namespace datafiles
