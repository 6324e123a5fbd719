#include "xlsx/zip_package.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

namespace kelvora::host::xlsx {
namespace {

std::string SmallArchive() {
  return ZipPackage::Build({{"a.xml", "<a>first</a>"}, {"dir/b.bin", std::string(1000, 'b')}});
}

TEST(ZipPackageTest, ReadsWhatWasBuilt) {
  ZipPackage p(SmallArchive(), {});
  ASSERT_EQ(p.names().size(), 2u);
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
  const std::string cases[] = {"", "hello, this is not a workbook", "PK\x03\x04",
                               good.substr(0, good.size() / 2),    // truncated
                               good.substr(0, good.size() - 22)};  // no directory end
  for (const auto& bytes : cases) EXPECT_THROW(ZipPackage(bytes, {}), XlsxError) << bytes.size();
}

// The entry read whole (`step` 0) or `step` bytes at a time, or the message
// it is refused with. A damaged entry is found only when it is read.
std::string ReadEntry(const ZipPackage& p, const std::string& name, size_t step = 0) {
  try {
    if (step == 0) return p.Read(name);
    const auto reader = p.Open(name);
    std::string out, buf(step, '\0');
    while (const size_t n = reader->Read(buf.data(), step)) out.append(buf, 0, n);
    return out;
  } catch (const XlsxError& e) {
    return e.what();
  }
}

// `archive` with a 32-bit field of the named entry changed to `f(old)` in
// both the local header (at `local`) and the directory (at `central`).
std::string Patched(std::string archive, const std::string& name, size_t local, size_t central,
                    uint32_t (*f)(uint32_t)) {
  for (size_t at = archive.find(name), seen = 0; at != std::string::npos;
       at = archive.find(name, at + 1), ++seen) {
    char* field = archive.data() + at - (seen == 0 ? 30 - local : 46 - central);
    uint32_t v;
    std::memcpy(&v, field, 4);
    v = f(v);
    std::memcpy(field, &v, 4);
  }
  return archive;
}

TEST(ZipPackageTest, ReadsAnEntryInPiecesWithTheSameChecksAsWhole) {
  std::string text;
  for (int i = 0; i < 20000; ++i) text += "<c r=\"A" + std::to_string(i) + "\">Tr\xE1\xBA\xA7n</c>";
  const std::string good = ZipPackage::Build({{"a.xml", text}, {"s.xml", "<s/>"}});
  std::string damaged = good;
  damaged[damaged.find("a.xml") + 40] ^= 0x55;
  const std::string cases[] = {
      good,
      damaged,
      Patched(good, "a.xml", 14, 16, [](uint32_t v) { return v ^ 1u; }),  // checksum
      Patched(good, "a.xml", 22, 24, [](uint32_t v) { return v - 1; }),   // larger than claimed
      Patched(good, "a.xml", 22, 24, [](uint32_t v) { return v + 1; }),   // smaller
      Patched(good, "a.xml", 18, 20, [](uint32_t v) { return v - 9; }),   // data cut short
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    const ZipPackage p(cases[i], {});
    const std::string whole = ReadEntry(p, "a.xml");
    EXPECT_EQ(whole, i == 0 ? text : "damaged workbook file (bad data in a.xml)") << i;
    for (const size_t step : {size_t{1}, size_t{4093}, size_t{1} << 20})
      EXPECT_EQ(ReadEntry(p, "a.xml", step), whole) << i << " " << step;
  }
}

TEST(ZipPackageTest, AnEntryDeflatedInPartsTakenOutOfOrderReadsAsTheirJoin) {
  const std::string big(300000, 'x');
  const std::vector<std::vector<std::string>> cases = {
      {"<a>", "<b/>", "</a>"}, {"", big + "Đ", ""}, {"", "", ""}, {big, big, "tail"}};
  for (const auto& parts : cases) {
    EntryDeflater deflater(parts.size());
    std::string joined;
    for (const auto& p : parts) joined += p;
    // The last part first, each in two runs.
    for (size_t i = parts.size(); i-- > 0;) {
      deflater.Append(i, std::string_view(parts[i]).substr(0, parts[i].size() / 2));
      deflater.Append(i, std::string_view(parts[i]).substr(parts[i].size() / 2));
    }
    const ZipPackage p(SmallArchive(), {});
    const ZipPackage q(p.Rewrite({}, {"a.xml"}, {{"s.xml", deflater.Finish()}}), {});
    EXPECT_EQ(q.names(), (std::vector<std::string>{"dir/b.bin", "s.xml"}));
    EXPECT_EQ(ReadEntry(q, "s.xml"), joined);
  }
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
  std::minstd_rand random(12345);
  std::string bin(5000, '\0');
  for (char& c : bin) c = static_cast<char>(random() >> 8);
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
  EXPECT_EQ(original.substr(original.find("keep.bin"), 4000),
            rewritten.substr(rewritten.find("keep.bin"), 4000));
}

}  // namespace
}  // namespace kelvora::host::xlsx
