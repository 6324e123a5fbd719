// The zip container of a workbook file, held in memory. Opening checks the
// container (consistency of the directory, encryption, sizes within limits
// so that a small file cannot expand into gigabytes); reading an entry checks
// its size and checksum. Editing replaces or removes entries and copies every
// other entry's compressed bytes unchanged. libzip keeps the container;
// entry data is deflated and inflated with libdeflate, or with ISA-L where
// it is read or written a piece at a time.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace kelvora::host::xlsx {

// A workbook file that cannot be read or written; the message says why.
class XlsxError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// True when `head`, the first four bytes of a file or more, begin as a zip
// archive does (a local file header, or the end record of an empty archive):
// a workbook package, or another package that must not be written over.
bool LooksLikeZipPackage(std::string_view head);

// The bytes this process inflated from entries it read and deflated into
// entries it wrote, uncompressed; kept for the benchmarks.
struct CodecCounts {
  uint64_t inflated = 0;
  uint64_t deflated = 0;
};
CodecCounts CodecCounted();

struct PackageLimits {
  uint64_t max_file_size = uint64_t{512} << 20;
  uint64_t max_entries = 20000;
  uint64_t max_entry_size = uint64_t{256} << 20;  // uncompressed, one entry
  uint64_t max_total_size = uint64_t{1} << 30;    // uncompressed, all entries
  // Uncompressed / compressed, checked for entries above `ratio_floor` bytes.
  uint64_t max_ratio = 400;
  uint64_t ratio_floor = uint64_t{4} << 20;
};

// An entry's deflated bytes with what the archive's directory records of
// it: its size and checksum, uncompressed.
struct DeflatedEntry {
  std::string data;
  uint64_t size = 0;
  uint32_t crc = 0;
};

// An entry deflated as its bytes come, so that they need not be held
// whole. Its bytes come in parts, each of which is taken in order but may
// be taken before the parts ahead of it: a part is deflated on its own, as
// a run of deflate blocks that ends on a byte boundary without ending the
// data, and the runs joined in part order make the entry's one stream.
class EntryDeflater {
 public:
  explicit EntryDeflater(size_t parts);
  ~EntryDeflater();
  EntryDeflater(const EntryDeflater&) = delete;
  EntryDeflater& operator=(const EntryDeflater&) = delete;

  // Deflates `bytes`, the next of part `part` (< parts).
  void Append(size_t part, std::string_view bytes);
  // The entry: its parts in order. Nothing may be appended after.
  DeflatedEntry Finish();

 private:
  struct Part;
  std::vector<std::unique_ptr<Part>> parts_;
};

class ZipPackage {
 public:
  // Takes the file's bytes. Throws XlsxError for a file that is not a zip
  // archive, a damaged or encrypted one, or one beyond `limits`.
  ZipPackage(std::string bytes, const PackageLimits& limits);
  ~ZipPackage();
  ZipPackage(const ZipPackage&) = delete;
  ZipPackage& operator=(const ZipPackage&) = delete;

  // The archive as it was read.
  const std::string& bytes() const { return bytes_; }
  // Entry names in archive order.
  const std::vector<std::string>& names() const { return names_; }
  // Finds an entry by part name, exactly or else without regard to case.
  std::optional<std::string> Find(const std::string& name) const;
  // The uncompressed bytes of an entry. Throws XlsxError when it is missing,
  // damaged or larger than it claimed.
  std::string Read(const std::string& name) const;

  // An entry's uncompressed bytes a piece at a time, for entries too large
  // to be held whole, with the checks Read makes: the size as the bytes
  // come, the checksum when the end is reached.
  class EntryReader {
   public:
    ~EntryReader();
    EntryReader(const EntryReader&) = delete;
    EntryReader& operator=(const EntryReader&) = delete;

    // Puts up to `n` bytes of the entry, the next ones, into `out` and
    // returns how many; 0 at the end. Throws XlsxError as Read does when
    // the entry is damaged or larger than it claimed; it may first have
    // given bytes that Read would have refused.
    size_t Read(char* out, size_t n);

   private:
    friend class ZipPackage;
    struct State;
    explicit EntryReader(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
  };
  // Throws XlsxError when the entry is missing or cannot be opened. The
  // reader must not outlive this package.
  std::unique_ptr<EntryReader> Open(const std::string& name) const;

  // A new archive: entries of `replaced` take the given bytes (appended at
  // the end when new), entries in `removed` are left out, all others are
  // copied with their compressed bytes unchanged.
  // Entries of `deflated` are written as they are, in name order among
  // those of `replaced` (no name may be in both).
  std::string Rewrite(const std::map<std::string, std::string>& replaced,
                      const std::vector<std::string>& removed,
                      std::map<std::string, DeflatedEntry> deflated = {}) const;

  // A new archive of the given entries, in this order, deflated at `level`
  // (1 fastest to 9 smallest; 0 the fast default).
  static std::string Build(const std::vector<std::pair<std::string, std::string>>& entries,
                           int level = 0);

 private:
  struct Handle;
  std::string bytes_;
  PackageLimits limits_;
  std::unique_ptr<Handle> handle_;
  std::vector<std::string> names_;
  std::map<std::string, int64_t> index_;
  std::map<std::string, std::string> lower_index_;
};

}  // namespace kelvora::host::xlsx
