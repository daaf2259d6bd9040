#include "remote/FileResourcer.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

#include "platform/Format.h"
#include "receiver/shared.h"

namespace {

// The largest resource file we read into memory: far above anything we ship.
constexpr size_t kMaxFileSize = 64u << 20;

uint32_t Word(const std::string& b, size_t at) {
  return static_cast<uint32_t>(static_cast<uint8_t>(b[at])) |
         static_cast<uint32_t>(static_cast<uint8_t>(b[at + 1])) << 8 |
         static_cast<uint32_t>(static_cast<uint8_t>(b[at + 2])) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(b[at + 3])) << 24;
}

std::string Upper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return s;
}

// Inflates a zlib stream within the item cap; false when it is corrupt or
// too large.
bool Inflate(const std::vector<uint8_t>& Data, std::stringstream& Dest) {
  std::istringstream src(std::string(Data.begin(), Data.end()));
  Dest.str(std::string());
  return DecompressStream(src, Dest, kMaxItemSize);
}

}  // namespace

void TmyItem::SetName(const std::string& Text) {
  Name_ = Text.substr(0, kItemNameLength);
  Name_.resize(kItemNameLength, ' ');
}

std::string TmyItem::GetName() const { return Trim(Name_); }

void TmyItem::LoadFromStream(std::istream& Source) {
  std::ostringstream out;
  CompressStream(Source, out);
  const std::string z = out.str();
  Data.assign(z.begin(), z.end());
  Time = dt::Now();
}

bool TmyItem::SaveToStream(std::stringstream& Dest) const {
  const bool ok = Inflate(Data, Dest);
  Dest.clear();
  Dest.seekg(0);
  Dest.seekp(0);
  return ok;
}

bool TmyItem::SaveToStreamWithVariables(std::stringstream& Dest) const {
  const bool ok = SaveToStream(Dest);
  if (ok && Owner) Owner->ApplyVariables(Dest);
  return ok;
}

void TmyItemCollection::LoadFromFile(const std::string& FileName, TResourceHeader& Header) {
  std::ifstream in(FileName, std::ios::binary);
  if (!in) throw std::runtime_error(Format("Cannot open file \"%s\". %s", FileName.c_str(), std::strerror(errno)));
  LoadFromStream(in, Header);
}

void TmyItemCollection::LoadFromStream(std::istream& Stream, TResourceHeader& Header) {
  Clear();
  Header = {};
  std::string bytes;
  char chunk[65536];
  while (Stream.read(chunk, sizeof chunk) || Stream.gcount() > 0) {
    bytes.append(chunk, static_cast<size_t>(Stream.gcount()));
    if (bytes.size() > kMaxFileSize) throw EResourceFileError();
  }
  try {
    ReadItems(bytes, Header);
  } catch (...) {
    Clear();
    throw;
  }
}

void TmyItemCollection::ReadItems(const std::string& Bytes, TResourceHeader& Header) {
  const size_t size = Bytes.size();
  if (size == 0) return;
  if (size < kResourceHeaderSize) throw EResourceFileError();
  for (size_t i = 0; i < Header.size(); ++i) Header[i] = Word(Bytes, i * 4);
  const size_t dir = Header[3], count = Header[4];
  if (dir > size) throw EResourceFileError();
  if (dir == size) return;
  NextIndex = static_cast<int32_t>(Header[2]);
  if (count > (size - dir) / kItemEntrySize) throw EResourceFileError();
  for (size_t e = 0; e < count; ++e) {
    const size_t at = dir + e * kItemEntrySize;
    const size_t offset = Word(Bytes, at), length = Word(Bytes, at + 4);
    if (static_cast<uint8_t>(Bytes[at + 42]) != 0) continue;
    if (offset > size || length > size - offset) throw EResourceFileError();
    auto item = std::make_unique<TmyItemFile>();
    item->Data.assign(Bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                      Bytes.begin() + static_cast<std::ptrdiff_t>(offset + length));
    std::stringstream check;
    if (!Inflate(item->Data, check)) throw EResourceFileError();
    item->SetName(Bytes.substr(at + 12, kItemNameLength));
    item->Time = dt::StampFromBytes(reinterpret_cast<const uint8_t*>(Bytes.data() + at + 43));
    Add(std::move(item), static_cast<int32_t>(Word(Bytes, at + 8)));
  }
}

void TmyItemCollection::Clear() {
  Items.clear();
  NextIndex = 1;
}

TmyItem& TmyItemCollection::Add(std::unique_ptr<TmyItem> Item, int32_t Index) {
  Item->Owner = this;
  if (Index == -1) Item->Index = NextIndex++;
  else Item->Index = Index;
  Items.push_back(std::move(Item));
  return *Items.back();
}

TmyItem* TmyItemCollection::FindItem(const std::string& Name) const {
  if (Name.empty()) return nullptr;
  const std::string upper = Upper(Name);
  for (const auto& item : Items) {
    const std::string name = item->GetName();
    if (name == Name || Upper(name) == upper) return item.get();
  }
  return nullptr;
}

void TmyItemCollection::SetVariable(const std::string& Name, const std::string& Value) {
  for (auto& v : Variables)
    if (v.first == Name) {
      v.second = Value;
      return;
    }
  Variables.emplace_back(Name, Value);
}

void TmyItemCollection::ApplyVariables(std::stringstream& Stream) const {
  std::string text = Stream.str();
  for (const auto& [name, value] : Variables) {
    if (name.empty()) continue;
    const std::string key = Upper(name), upperText = Upper(text);
    std::string out;
    size_t from = 0;
    for (size_t hit; (hit = upperText.find(key, from)) != std::string::npos; from = hit + key.size())
      out.append(text, from, hit - from).append(value);
    text = out.append(text, from, std::string::npos);
  }
  Stream.str(text);
  Stream.clear();
  Stream.seekg(0);
  Stream.seekp(0);
}
