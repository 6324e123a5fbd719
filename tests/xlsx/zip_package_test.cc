#include "xlsx/zip_package.h"

#include <gtest/gtest.h>

namespace kelvora::host::xlsx {
namespace {

std::string SmallArchive() {
  return ZipPackage::Build({{"a.xml", "<a>first</a>"}, {"dir/b.bin", std::string(1000, 'b')}});
}

TEST(ZipPackageTest, ReadsWhatWasBuilt) {
  ZipPackage p(SmallArchive(), {});
  ASSERT_EQ(p.names().size(), 2u);
  EXPECT_EQ(p.names()[0], "a.xml");
  EXPECT_EQ(p.Read("a.xml"), "<a>first</a>");
  EXPECT_EQ(p.Find("DIR/B.BIN").value(), "dir/b.bin");
  EXPECT_FALSE(p.Find("c.xml").has_value());
  EXPECT_THROW(p.Read("c.xml"), XlsxError);
}

TEST(ZipPackageTest, CountsTheBytesItInflatesAndDeflates) {
  const CodecCounts before = CodecCounted();
  const ZipPackage p(SmallArchive(), {});  // deflates 12 + 1000 bytes
  p.Read("dir/b.bin");
  const CodecCounts after = CodecCounted();
  EXPECT_EQ(after.deflated - before.deflated, 1012u);
  EXPECT_EQ(after.inflated - before.inflated, 1000u);
}

TEST(ZipPackageTest, RefusesWhatIsNotASoundArchive) {
  const std::string good = SmallArchive();
  std::string corrupt = good;
  // Damage the compressed data of the second entry (after its local header).
  const size_t at = corrupt.find("dir/b.bin") + 12;
  corrupt[at] = static_cast<char>(corrupt[at] ^ 0x55);
  corrupt[at + 1] = static_cast<char>(corrupt[at + 1] ^ 0x55);
  const std::string cases[] = {"", "hello, this is not a workbook", "PK\x03\x04",
                               good.substr(0, good.size() / 2),    // truncated
                               good.substr(0, good.size() - 22)};  // no directory end
  for (const auto& bytes : cases) EXPECT_THROW(ZipPackage(bytes, {}), XlsxError) << bytes.size();
  // A damaged entry is found when it is read: checksum or inflate failure.
  EXPECT_THROW(ZipPackage(corrupt, {}).Read("dir/b.bin"), XlsxError);
}

TEST(ZipPackageTest, RefusesEntriesThatExpandBeyondLimits) {
  const std::string zeros(std::string(8u << 20, '\0'));
  const std::string bomb = ZipPackage::Build({{"xl/worksheets/sheet1.xml", zeros}}, 9);
  ASSERT_LT(bomb.size(), 100000u);
  EXPECT_THROW(ZipPackage(bomb, {}), XlsxError);  // ratio far beyond 400

  const std::pair<uint64_t PackageLimits::*, uint64_t> limits[] = {
      {&PackageLimits::max_entry_size, 500},
      {&PackageLimits::max_total_size, 1000},
      {&PackageLimits::max_entries, 1},
      {&PackageLimits::max_file_size, 10}};
  for (const auto& [limit, value] : limits) {
    PackageLimits small;
    small.*limit = value;
    EXPECT_THROW(ZipPackage(SmallArchive(), small), XlsxError) << value;
  }
}

TEST(ZipPackageTest, RewriteReplacesRemovesAndKeepsTheRest) {
  std::string bin(5000, '\0');
  uint32_t x = 12345;
  for (char& c : bin) {
    x = x * 1103515245 + 12345;
    c = static_cast<char>(x >> 24);
  }
  const std::string original =
      ZipPackage::Build({{"a.xml", "<a/>"}, {"keep.bin", bin}, {"gone.xml", "<g/>"}});
  ZipPackage p(original, {});
  const std::string rewritten =
      p.Rewrite({{"a.xml", "<a>new</a>"}, {"new.xml", "<n/>"}}, {"gone.xml"});
  ZipPackage q(rewritten, {});
  EXPECT_EQ(q.names(), (std::vector<std::string>{"keep.bin", "a.xml", "new.xml"}));
  EXPECT_EQ(q.Read("a.xml"), "<a>new</a>");
  EXPECT_EQ(q.Read("keep.bin"), bin);
  EXPECT_EQ(q.Read("new.xml"), "<n/>");
  // The kept entry's compressed bytes are copied, not recompressed.
  const size_t old_at = original.find("keep.bin");
  const size_t new_at = rewritten.find("keep.bin");
  ASSERT_NE(old_at, std::string::npos);
  ASSERT_NE(new_at, std::string::npos);
  EXPECT_EQ(original.substr(old_at, 4000), rewritten.substr(new_at, 4000));
}

}  // namespace
}  // namespace kelvora::host::xlsx
