#pragma once
// The remote server's resource file ("fw.rrf"): web pages and pictures, each
// kept zlib-compressed in memory, plus the template variables substituted
// into HTML pages as they are served.
//
// File layout, little-endian: a 20-byte header (two words handed back to the
// caller, the next free item index, the directory offset, the entry count),
// then the items' zlib streams, and the directory: 51-byte entries of data
// offset, data size, item index, a 30-byte blank-padded name, a kind byte
// (0 = file) and an 8-byte date-time.
//
// The collection is filled before the servers start and only read while they
// run, so it takes no lock of its own.
#include <array>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "platform/DateTime.h"

class TmyItemCollection;

inline constexpr size_t kItemNameLength = 30;
inline constexpr size_t kItemEntrySize = 51;
inline constexpr size_t kResourceHeaderSize = 20;
// No page, picture or client of ours comes near this; a file claiming more
// is corrupt (or a zlib bomb).
inline constexpr size_t kMaxItemSize = 16u << 20;

// The main window shows this text for a missing or unreadable resource file.
inline constexpr const char* kResourceFileMessage =
    "Remote Resource File missing or corrupt!\nUnable to Proceed.";

// A resource file whose structure or data is broken; what() is the message
// above.
class EResourceFileError : public std::runtime_error {
 public:
  EResourceFileError() : std::runtime_error(kResourceFileMessage) {}
};

using TResourceHeader = std::array<uint32_t, 5>;

class TmyItem {
 public:
  virtual ~TmyItem() = default;

  int32_t Index = 0;
  TmyItemCollection* Owner = nullptr;
  uint8_t Kind = 0;
  TDateTime Time = dt::Now();
  // The item's bytes as one zlib stream.
  std::vector<uint8_t> Data;

  // The first 30 characters of Text, blank-padded to 30.
  void SetName(const std::string& Text);
  // The name, trimmed.
  std::string GetName() const;
  // The raw 30 characters.
  const std::string& RawName() const { return Name_; }

  // Compresses the whole source at the best level into Data; Time := now.
  void LoadFromStream(std::istream& Source);
  // The item's bytes become Dest's content, positioned at 0. False (Dest
  // emptied) when Data does not inflate within kMaxItemSize.
  bool SaveToStream(std::stringstream& Dest) const;
  // As SaveToStream, then the owner's variables applied.
  bool SaveToStreamWithVariables(std::stringstream& Dest) const;

 private:
  std::string Name_ = std::string(kItemNameLength, ' ');
};

class TmyItemFile : public TmyItem {
 public:
  TmyItemFile() { Kind = 0; }
};

class TmyItemCollection {
 public:
  int32_t NextIndex = 1;
  std::vector<std::unique_ptr<TmyItem>> Items;
  std::vector<std::pair<std::string, std::string>> Variables;

  // Throws std::runtime_error when the file cannot be opened, and as
  // LoadFromStream.
  void LoadFromFile(const std::string& FileName, TResourceHeader& Header);
  // Replaces the items by the stream's. Every offset, size and count is
  // checked against the stream and every item must inflate within
  // kMaxItemSize; otherwise EResourceFileError, and the collection is empty.
  void LoadFromStream(std::istream& Stream, TResourceHeader& Header);

  void Clear();
  // Appends and takes ownership; Index -1 takes NextIndex and advances it.
  TmyItem& Add(std::unique_ptr<TmyItem> Item, int32_t Index);
  // The first item whose trimmed name equals Name exactly or ignoring case;
  // an empty Name finds nothing.
  TmyItem* FindItem(const std::string& Name) const;

  void SetVariable(const std::string& Name, const std::string& Value);
  // Replaces every occurrence of every variable's name (ignoring case, in
  // list order) in the stream's text; the result becomes the content.
  void ApplyVariables(std::stringstream& Stream) const;

 private:
  void ReadItems(const std::string& Bytes, TResourceHeader& Header);
};
