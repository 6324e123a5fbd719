// Fuzzes the adoption of a workbook file (adopt/adopt.h): any bytes are
// adopted or refused with XlsxError; an adopted workbook has its shape, so
// that adopting it again changes nothing.
//
// An input that starts as a zip archive is the whole file. Any other input
// is XML text for the parts that adopt edits, so that mutations reach the
// edits rather than the archive's checksums: up to "\n--\n" the workbook
// part, after it the second worksheet, in a package of three worksheets and
// a chart sheet.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "adopt/adopt.h"

namespace {

using namespace kelvora::host::xlsx;
using namespace kelvora::adopt;

constexpr char kRelType[] = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";

std::string Package(std::string_view input) {
  const size_t cut = input.find("\n--\n");
  const std::string workbook(input.substr(0, cut));
  const std::string second = cut == std::string_view::npos ? std::string("<worksheet/>")
                                                           : std::string(input.substr(cut + 4));
  std::string rels = "<Relationships>";
  const char* targets[] = {
      "worksheet\" Target=\"worksheets/sheet1.xml", "worksheet\" Target=\"worksheets/sheet2.xml",
      "worksheet\" Target=\"worksheets/sheet3.xml", "chartsheet\" Target=\"chartsheets/sheet1.xml"};
  for (int i = 0; i < 4; ++i) {
    rels += "<Relationship Id=\"rId" + std::to_string(i + 1) + "\" Type=\"" + kRelType +
            targets[i] + "\"/>";
  }
  return ZipPackage::Build(
      {{"[Content_Types].xml", "<Types/>"},
       {"_rels/.rels", std::string("<Relationships><Relationship Id=\"rId1\" Type=\"") + kRelType +
                           "officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>"},
       {"xl/_rels/workbook.xml.rels", rels + "</Relationships>"},
       {"xl/workbook.xml", workbook},
       {"xl/worksheets/sheet1.xml", "<worksheet><sheetPr codeName=\"Sheet1\"/></worksheet>"},
       {"xl/worksheets/sheet2.xml", second},
       {"xl/worksheets/sheet3.xml", "<worksheet><sheetPr codeName=\"Chart1\"/></worksheet>"},
       {"xl/chartsheets/sheet1.xml", "<chartsheet><sheetPr codeName=\"Sheet3\"/></chartsheet>"}},
      1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  PackageLimits limits;
  limits.max_file_size = 4u << 20;
  limits.max_entry_size = 8u << 20;
  limits.max_total_size = 16u << 20;
  limits.ratio_floor = 1u << 20;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  // Odd sizes name the tabs, even ones take the sheets by position.
  SheetTabs tabs;
  if (size % 2 == 1) tabs = {u"Main", u"Paste", u"Settings"};
  Adoption adopted;
  try {
    adopted = AdoptWorkbook(input.substr(0, 2) == "PK" ? std::string(input) : Package(input), tabs,
                            limits);
  } catch (const XlsxError&) {
    return 0;
  }
  if (!adopted.bytes.empty() && !AdoptWorkbook(adopted.bytes, tabs, limits).bytes.empty()) {
    std::abort();
  }
  return 0;
}
