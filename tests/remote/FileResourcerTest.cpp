#include "remote/FileResourcer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "remote/pack/RrfWriter.h"
#include "support/TempProgramFolder.h"
#include "support/TestPaths.h"

namespace {

std::string Contents(const TmyItem& Item) {
  std::stringstream s;
  EXPECT_TRUE(Item.SaveToStreamWithVariables(s));
  return s.str();
}

void PutWord(std::string& b, size_t at, uint32_t w) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<char>(w >> (8 * i));
}

TEST(FileResourcer, BuiltFileHoldsThePagesTheServerAsksFor) {
  TmyItemCollection c;
  TResourceHeader h;
  c.LoadFromFile(TestBinDir() + "/fw.rrf", h);
  c.SetVariable("%alias%", "Studio 2");
  for (const char* page : {"LOGIN.HTM", "logine.htm", "busy.htm", "wrapper.html"}) {
    const TmyItem* item = c.FindItem(page);
    ASSERT_NE(item, nullptr) << page;
    EXPECT_NE(Contents(*item).find("<title>Studio 2 - "), std::string::npos) << page;
  }
  EXPECT_EQ(h[4], c.Items.size());
  EXPECT_EQ(c.NextIndex, static_cast<int32_t>(c.Items.size()) + 1);
}

TEST(FileResourcer, ItemsNamesAndVariables) {
  TmyItemCollection c;
  std::istringstream page("<p>%ALIAS% on %alias%</p>");
  auto& first = c.Add(std::make_unique<TmyItemFile>(), -1);
  first.SetName("Index.htm");
  first.LoadFromStream(page);
  auto& second = c.Add(std::make_unique<TmyItemFile>(), -1);
  second.SetName("index.htm");
  auto& longName = c.Add(std::make_unique<TmyItemFile>(), 7);
  longName.SetName(std::string(29, 'a') + "bc");
  EXPECT_EQ(first.Index, 1);
  EXPECT_EQ(second.Index, 2);
  EXPECT_EQ(longName.Index, 7);
  EXPECT_EQ(c.NextIndex, 3);
  // An earlier case-insensitive match wins over a later exact one.
  EXPECT_EQ(c.FindItem("index.htm"), &first);
  EXPECT_EQ(c.FindItem(std::string(29, 'A') + "B"), &longName);
  EXPECT_EQ(c.FindItem(""), nullptr);
  EXPECT_EQ(c.FindItem(" index.htm"), nullptr);

  c.SetVariable("%ALIAS%", "A much longer alias");
  EXPECT_EQ(Contents(first), "<p>A much longer alias on A much longer alias</p>");
  c.SetVariable("%ALIAS%", "Fw");
  EXPECT_EQ(Contents(first), "<p>Fw on Fw</p>");
  EXPECT_EQ(c.Variables.size(), 1u);
}

TEST(FileResourcer, StructureEdgesThatHoldNoItems) {
  TmyItemCollection c;
  TResourceHeader h;
  std::istringstream empty("");
  c.LoadFromStream(empty, h);
  EXPECT_TRUE(c.Items.empty());

  // A second entry of another kind is skipped; the next index comes from the header.
  std::string file = WriteResourceFile({{"a.htm", "A", 0, 1.5}, {"b.htm", "B", 3, 0}});
  PutWord(file, 8, 42);
  std::istringstream in(file);
  c.LoadFromStream(in, h);
  ASSERT_EQ(c.Items.size(), 1u);
  EXPECT_EQ(c.Items[0]->GetName(), "a.htm");
  EXPECT_EQ(c.Items[0]->Time, 1.5);
  EXPECT_EQ(c.NextIndex, 42);
  EXPECT_EQ(h[0], 0x46525246u);
}

TEST(FileResourcer, CorruptFilesGiveTheMessageAndNoItems) {
  const std::string good = WriteResourceFile({{"login.htm", "<html>login</html>", 0, 0}});
  const size_t dir = good.size() - kItemEntrySize;
  const std::string bomb = WriteResourceFile({{"big.htm", std::string(kMaxItemSize + 1, 'x'), 0, 0}});
  const std::vector<std::pair<const char*, std::function<std::string()>>> cases = {
      {"short header", [&] { return good.substr(0, 10); }},
      {"directory past the end", [&] { auto b = good; PutWord(b, 12, static_cast<uint32_t>(b.size() + 1)); return b; }},
      {"count beyond the directory", [&] { auto b = good; PutWord(b, 16, 2); return b; }},
      {"huge count", [&] { auto b = good; PutWord(b, 16, 0xFFFFFFFF); return b; }},
      {"data past the end", [&] { auto b = good; PutWord(b, dir, static_cast<uint32_t>(b.size() - 2)); return b; }},
      {"size past the end", [&] { auto b = good; PutWord(b, dir + 4, 0xFFFFFFF0); return b; }},
      {"not a zlib stream", [&] { auto b = good; b[kResourceHeaderSize] ^= 0x55; return b; }},
      {"inflates beyond the cap", [&] { return bomb; }},
  };
  for (const auto& [what, make] : cases) {
    TmyItemCollection c;
    TResourceHeader h;
    std::istringstream in(make());
    try {
      c.LoadFromStream(in, h);
      ADD_FAILURE() << what;
    } catch (const EResourceFileError& e) {
      EXPECT_STREQ(e.what(), "Remote Resource File missing or corrupt!\nUnable to Proceed.") << what;
    }
    EXPECT_TRUE(c.Items.empty()) << what;
  }
}

TEST(FileResourcer, UnopenableFileRaisesTheOpenError) {
  TmyItemCollection c;
  TResourceHeader h;
  EXPECT_THROW(c.LoadFromFile("/nonexistent/fw.rrf", h), std::runtime_error);
}

}  // namespace
