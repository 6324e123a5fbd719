#include "xlsx/zip_package.h"

#include <isa-l/igzip_lib.h>
#include <libdeflate.h>
#include <zip.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdlib>
#include <cstring>

namespace kelvora::host::xlsx {
namespace {

std::atomic<uint64_t> bytes_inflated{0}, bytes_deflated{0};

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string ZipErrorText(zip_error_t* e) {
  std::string s = zip_error_strerror(e);
  zip_error_fini(e);
  return s;
}

// Compression of entries we write: the fastest deflate level; sheets are
// large and very regular, so higher levels gain little but take several
// times longer. Entries are deflated here (libdeflate, several times faster
// than the zlib that libzip would use) and handed to libzip ready-made.
constexpr int kLevel = 1;

// An entry's deflated bytes with what the archive's directory records of it.
struct Deflated {
  std::string data;
  uint64_t size = 0;
  uint32_t crc = 0;
  size_t read_at = 0;  // libzip's read position
};

Deflated Deflate(const std::string& bytes, int level) {
  struct Compressor {
    libdeflate_compressor* c;
    ~Compressor() { libdeflate_free_compressor(c); }
  } compressor{libdeflate_alloc_compressor(level)};
  if (compressor.c == nullptr) throw XlsxError("out of memory");
  bytes_deflated.fetch_add(bytes.size(), std::memory_order_relaxed);
  Deflated d;
  d.size = bytes.size();
  d.crc = static_cast<uint32_t>(libdeflate_crc32(0, bytes.data(), bytes.size()));
  // The bound is about the entry's size, of which the deflated data takes a
  // fraction: a buffer left uninitialised is only touched where written.
  const size_t bound = libdeflate_deflate_compress_bound(compressor.c, bytes.size());
  const std::unique_ptr<char[]> buffer(new char[bound]);
  const size_t n =
      libdeflate_deflate_compress(compressor.c, bytes.data(), bytes.size(), buffer.get(), bound);
  if (n == 0) throw XlsxError("cannot compress an entry of the archive");
  d.data.assign(buffer.get(), n);
  return d;
}

}  // namespace

// A part is deflated with ISA-L's fastest level, several times faster than
// zlib's on sheet text, and in a stream, so that it need not be held whole.
struct EntryDeflater::Part {
  enum class End { kNone, kByteBoundary, kLast };

  isal_zstream z;
  std::unique_ptr<uint8_t[]> level_buffer;
  bool ready = false;
  DeflatedEntry out;

  // Deflates `bytes` into out.data; `end` says how the output stops: where
  // the deflater likes, on a byte boundary without ending the data, or
  // ending it.
  void Deflate(std::string_view bytes, End end) {
    if (!ready) {
      isal_deflate_init(&z);
      level_buffer.reset(new uint8_t[ISAL_DEF_LVL1_DEFAULT]);
      z.level = 1;
      z.level_buf = level_buffer.get();
      z.level_buf_size = ISAL_DEF_LVL1_DEFAULT;
      z.gzip_flag = IGZIP_DEFLATE;
      ready = true;
    }
    z.next_in = reinterpret_cast<uint8_t*>(const_cast<char*>(bytes.data()));
    z.avail_in = static_cast<uint32_t>(bytes.size());
    z.flush = end == End::kByteBoundary ? SYNC_FLUSH : NO_FLUSH;
    z.end_of_stream = end == End::kLast ? 1 : 0;
    const int done = end == End::kLast ? ZSTATE_END : ZSTATE_NEW_HDR;
    char buffer[16384];
    for (;;) {
      z.next_out = reinterpret_cast<uint8_t*>(buffer);
      z.avail_out = sizeof(buffer);
      if (isal_deflate(&z) != COMP_OK) throw XlsxError("cannot compress an entry of the archive");
      out.data.append(buffer, sizeof(buffer) - z.avail_out);
      if (z.avail_in > 0 || z.avail_out == 0) continue;
      if (end == End::kNone || z.internal_state.state == done) break;
    }
  }
};

EntryDeflater::EntryDeflater(size_t parts) {
  for (size_t i = 0; i < parts; ++i) parts_.push_back(std::make_unique<Part>());
}

EntryDeflater::~EntryDeflater() = default;

void EntryDeflater::Append(size_t part, std::string_view bytes) {
  Part& p = *parts_.at(part);
  // Handed to the deflater in runs it can count.
  for (size_t at = 0; at < bytes.size(); at += size_t{1} << 30) {
    const std::string_view run = bytes.substr(at, size_t{1} << 30);
    p.Deflate(run, Part::End::kNone);
    p.out.crc = static_cast<uint32_t>(libdeflate_crc32(p.out.crc, run.data(), run.size()));
    p.out.size += run.size();
  }
  bytes_deflated.fetch_add(bytes.size(), std::memory_order_relaxed);
}

DeflatedEntry EntryDeflater::Finish() {
  DeflatedEntry entry;
  for (size_t i = 0; i < parts_.size(); ++i) {
    Part& p = *parts_[i];
    // Every part but the last ends with a sync flush: on a byte boundary,
    // with no block marked final.
    p.Deflate({}, i + 1 == parts_.size() ? Part::End::kLast : Part::End::kByteBoundary);
    entry.data += p.out.data;
    entry.crc = static_cast<uint32_t>(
        crc32_combine(entry.crc, p.out.crc, static_cast<z_off_t>(p.out.size)));
    entry.size += p.out.size;
    parts_[i].reset();
  }
  parts_.clear();
  return entry;
}

namespace {

// libzip's view of a Deflated: a source whose data is compressed already,
// so that the archive takes it as it is.
zip_int64_t DeflatedSource(void* user, void* data, zip_uint64_t len, zip_source_cmd_t cmd) {
  auto* d = static_cast<Deflated*>(user);
  switch (cmd) {
    case ZIP_SOURCE_OPEN:
      d->read_at = 0;
      return 0;
    case ZIP_SOURCE_READ: {
      const size_t n = std::min<size_t>(len, d->data.size() - d->read_at);
      std::memcpy(data, d->data.data() + d->read_at, n);
      d->read_at += n;
      return static_cast<zip_int64_t>(n);
    }
    case ZIP_SOURCE_STAT: {
      auto* st = static_cast<zip_stat_t*>(data);
      zip_stat_init(st);
      st->valid = ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE | ZIP_STAT_COMP_METHOD | ZIP_STAT_CRC;
      st->size = d->size;
      st->comp_size = d->data.size();
      st->comp_method = ZIP_CM_DEFLATE;
      st->crc = d->crc;
      return sizeof(*st);
    }
    case ZIP_SOURCE_CLOSE:
    case ZIP_SOURCE_FREE:
      return 0;
    case ZIP_SOURCE_ERROR: {
      zip_error_t none;
      zip_error_init(&none);
      return zip_error_to_data(&none, data, len);
    }
    case ZIP_SOURCE_SUPPORTS:
      return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE,
                                            ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
    default:
      return -1;
  }
}

std::string ReadWholeSource(zip_source_t* src) {
  zip_stat_t st;
  zip_stat_init(&st);
  if (zip_source_stat(src, &st) < 0 || !(st.valid & ZIP_STAT_SIZE)) {
    throw XlsxError("cannot read the written archive");
  }
  if (zip_source_open(src) < 0) throw XlsxError("cannot read the written archive");
  std::string out(st.size, '\0');
  zip_int64_t got = 0;
  while (static_cast<zip_uint64_t>(got) < st.size) {
    const zip_int64_t n = zip_source_read(src, out.data() + got, st.size - got);
    if (n <= 0) break;
    got += n;
  }
  zip_source_close(src);
  if (static_cast<zip_uint64_t>(got) != st.size) throw XlsxError("cannot read the written archive");
  return out;
}

// An empty in-memory archive opened for writing, or one over `bytes`.
struct WriteSession {
  zip_source_t* src = nullptr;
  zip_t* za = nullptr;
  std::vector<std::unique_ptr<Deflated>> keep;  // data of added sources

  explicit WriteSession(const std::string* bytes) {
    zip_error_t err;
    zip_error_init(&err);
    // A writable buffer source takes ownership of its data when it is
    // rewritten, so it gets its own malloc'd copy.
    void* copy = nullptr;
    if (bytes != nullptr && !bytes->empty()) {
      copy = std::malloc(bytes->size());
      if (copy == nullptr) throw XlsxError("out of memory");
      std::memcpy(copy, bytes->data(), bytes->size());
    }
    src = zip_source_buffer_create(copy, copy ? bytes->size() : 0, 1, &err);
    if (src == nullptr) std::free(copy);
    if (src == nullptr) throw XlsxError("cannot create an archive: " + ZipErrorText(&err));
    za = zip_open_from_source(src, bytes ? 0 : ZIP_TRUNCATE, &err);
    if (za == nullptr) {
      zip_source_free(src);
      throw XlsxError("cannot create an archive: " + ZipErrorText(&err));
    }
    zip_source_keep(src);
  }
  ~WriteSession() {
    if (za != nullptr) zip_discard(za);
    if (src != nullptr) zip_source_free(src);
  }

  void Add(const std::string& name, const std::string& data, int level = kLevel) {
    Add(name, Deflate(data, level));
  }

  void Add(const std::string& name, Deflated deflated) {
    keep.push_back(std::make_unique<Deflated>(std::move(deflated)));
    zip_source_t* s = zip_source_function(za, DeflatedSource, keep.back().get());
    if (s == nullptr)
      throw XlsxError("cannot add to the archive: " + std::string(zip_strerror(za)));
    const zip_int64_t idx = zip_file_add(za, name.c_str(), s, ZIP_FL_ENC_UTF_8 | ZIP_FL_OVERWRITE);
    if (idx < 0) {
      zip_source_free(s);
      throw XlsxError("cannot add " + name + " to the archive: " + zip_strerror(za));
    }
  }

  std::string Finish() {
    if (zip_close(za) < 0) {
      const std::string msg = zip_strerror(za);
      throw XlsxError("cannot write the archive: " + msg);
    }
    za = nullptr;
    return ReadWholeSource(src);
  }
};

}  // namespace

struct ZipPackage::Handle {
  zip_t* za = nullptr;
  ~Handle() {
    if (za != nullptr) zip_discard(za);
  }
};

namespace {

// An entry opened for reading. A deflated entry with a checksum is opened as
// it is stored, for the caller to inflate and check; any other goes through
// libzip.
struct OpenedEntry {
  zip_stat_t st;
  bool deflated = false;
  zip_file_t* file = nullptr;
};

OpenedEntry OpenEntry(zip_t* za, const std::map<std::string, int64_t>& index,
                      const std::string& name) {
  auto it = index.find(name);
  if (it == index.end()) throw XlsxError("damaged workbook file (missing part " + name + ")");
  const auto idx = static_cast<zip_uint64_t>(it->second);
  OpenedEntry e;
  zip_stat_init(&e.st);
  zip_stat_index(za, idx, 0, &e.st);
  e.deflated = (e.st.valid & ZIP_STAT_COMP_METHOD) && e.st.comp_method == ZIP_CM_DEFLATE &&
               (e.st.valid & ZIP_STAT_CRC);
  e.file = zip_fopen_index(za, idx, e.deflated ? ZIP_FL_COMPRESSED : 0);
  if (e.file == nullptr) {
    throw XlsxError("damaged workbook file (cannot open " + name + ": " + zip_strerror(za) + ")");
  }
  return e;
}

}  // namespace

CodecCounts CodecCounted() {
  return {bytes_inflated.load(std::memory_order_relaxed),
          bytes_deflated.load(std::memory_order_relaxed)};
}

bool LooksLikeZipPackage(std::string_view head) {
  return head.size() >= 4 && head.substr(0, 2) == "PK" &&
         (head.substr(2, 2) == "\x03\x04" || head.substr(2, 2) == "\x05\x06");
}

ZipPackage::ZipPackage(std::string bytes, const PackageLimits& limits)
    : bytes_(std::move(bytes)), limits_(limits), handle_(std::make_unique<Handle>()) {
  if (bytes_.size() > limits_.max_file_size) throw XlsxError("the file is too large");
  if (bytes_.size() < 4 || bytes_.compare(0, 2, "PK") != 0) {
    throw XlsxError("not a workbook file (not a zip archive)");
  }
  zip_error_t err;
  zip_error_init(&err);
  zip_source_t* src = zip_source_buffer_create(bytes_.data(), bytes_.size(), 0, &err);
  if (src == nullptr) throw XlsxError("cannot read the archive: " + ZipErrorText(&err));
  handle_->za = zip_open_from_source(src, ZIP_RDONLY | ZIP_CHECKCONS, &err);
  if (handle_->za == nullptr) {
    zip_source_free(src);
    throw XlsxError("damaged workbook file (" + ZipErrorText(&err) + ")");
  }
  const zip_int64_t n = zip_get_num_entries(handle_->za, 0);
  if (n < 0 || static_cast<uint64_t>(n) > limits_.max_entries) {
    throw XlsxError("damaged workbook file (too many entries)");
  }
  uint64_t total = 0;
  for (zip_int64_t i = 0; i < n; ++i) {
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(handle_->za, static_cast<zip_uint64_t>(i), 0, &st) < 0 ||
        !(st.valid & ZIP_STAT_NAME) || !(st.valid & ZIP_STAT_SIZE) ||
        !(st.valid & ZIP_STAT_COMP_SIZE)) {
      throw XlsxError("damaged workbook file (unreadable directory entry)");
    }
    if ((st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE) {
      throw XlsxError("encrypted workbook files are not supported");
    }
    if (st.size > limits_.max_entry_size) {
      throw XlsxError(std::string("entry ") + st.name + " is too large when expanded");
    }
    if (st.size > limits_.ratio_floor &&
        st.size / std::max<zip_uint64_t>(st.comp_size, 1) > limits_.max_ratio) {
      throw XlsxError(std::string("entry ") + st.name +
                      " expands beyond a sane ratio (a zip bomb?)");
    }
    total += st.size;
    if (total > limits_.max_total_size) {
      throw XlsxError("the workbook expands beyond a sane size (a zip bomb?)");
    }
    std::string name = st.name;
    if (index_.count(name) != 0)
      throw XlsxError("damaged workbook file (duplicate entry " + name + ")");
    names_.push_back(name);
    index_[name] = i;
    lower_index_.emplace(Lower(name), name);
  }
}

ZipPackage::~ZipPackage() = default;

std::optional<std::string> ZipPackage::Find(const std::string& name) const {
  if (index_.count(name) != 0) return name;
  auto it = lower_index_.find(Lower(name));
  if (it != lower_index_.end()) return it->second;
  return std::nullopt;
}

std::string ZipPackage::Read(const std::string& name) const {
  // A deflated entry is inflated here whole (libdeflate).
  const OpenedEntry e = OpenEntry(handle_->za, index_, name);
  const zip_stat_t& st = e.st;
  const bool deflated = e.deflated;
  zip_file_t* f = e.file;
  const zip_uint64_t stored = deflated ? st.comp_size : st.size;
  std::string raw(stored, '\0');
  zip_uint64_t got = 0;
  bool failed = false;
  while (got < stored) {
    const zip_int64_t r = zip_fread(f, raw.data() + got, stored - got);
    if (r < 0) {
      failed = true;
      break;
    }
    if (r == 0) break;
    got += static_cast<zip_uint64_t>(r);
  }
  char extra;
  // Reading past the claimed size must give nothing more; the end of the
  // stream is also where libzip verifies the checksum.
  if (!failed && zip_fread(f, &extra, 1) != 0) failed = true;
  zip_fclose(f);
  if (failed || got != stored) throw XlsxError("damaged workbook file (bad data in " + name + ")");
  if (!deflated) return raw;

  struct Decompressor {
    libdeflate_decompressor* d = libdeflate_alloc_decompressor();
    ~Decompressor() { libdeflate_free_decompressor(d); }
  } inflater;
  if (inflater.d == nullptr) throw XlsxError("out of memory");
  bytes_inflated.fetch_add(st.size, std::memory_order_relaxed);
  std::string out(st.size, '\0');
  size_t in_used = 0, out_made = 0;
  // The data must fill exactly the size the directory claims.
  if (libdeflate_deflate_decompress_ex(inflater.d, raw.data(), raw.size(), out.data(), out.size(),
                                       &in_used, &out_made) != LIBDEFLATE_SUCCESS ||
      out_made != out.size() ||
      static_cast<uint32_t>(libdeflate_crc32(0, out.data(), out.size())) != st.crc) {
    throw XlsxError("damaged workbook file (bad data in " + name + ")");
  }
  return out;
}

struct ZipPackage::EntryReader::State {
  std::string name;
  zip_file_t* file = nullptr;
  bool deflated = false;
  uint64_t size = 0;    // as the directory claims, uncompressed
  uint64_t given = 0;   // bytes handed out so far
  uint64_t unread = 0;  // compressed bytes not yet taken from the archive
  uint32_t crc = 0;     // of the bytes handed out
  uint32_t claimed_crc = 0;
  bool ended = false;
  // ISA-L inflates a piece at a time, about three times as fast as zlib.
  std::unique_ptr<inflate_state> z;
  std::unique_ptr<char[]> in;  // compressed bytes, a piece at a time

  static constexpr size_t kInBytes = size_t{64} << 10;

  ~State() {
    if (file != nullptr) zip_fclose(file);
  }

  [[noreturn]] void Fail() const {
    throw XlsxError("damaged workbook file (bad data in " + name + ")");
  }

  // Inflates into `out` until it is full or the stream ends.
  size_t Inflate(char* out, size_t n) {
    z->next_out = reinterpret_cast<uint8_t*>(out);
    z->avail_out = static_cast<uint32_t>(n);
    while (z->avail_out > 0 && !ended) {
      if (z->avail_in == 0 && unread > 0) {
        const zip_int64_t r = zip_fread(file, in.get(), std::min<uint64_t>(kInBytes, unread));
        if (r <= 0) Fail();
        unread -= static_cast<uint64_t>(r);
        z->next_in = reinterpret_cast<uint8_t*>(in.get());
        z->avail_in = static_cast<uint32_t>(r);
      }
      // Output held back for want of room comes without more input; with
      // no input left and nothing more to give, the data stops short.
      const uint32_t room = z->avail_out;
      if (isal_inflate(z.get()) != ISAL_DECOMP_OK) Fail();
      if (z->block_state == ISAL_BLOCK_FINISH) {
        ended = true;
      } else if (z->avail_in == 0 && unread == 0 && z->avail_out == room) {
        Fail();
      }
    }
    return n - z->avail_out;
  }

  // Checks what is left once the data has ended: nothing past the
  // compressed size, the size and checksum the directory claims.
  void Finish() {
    while (unread > 0) {
      const zip_int64_t r = zip_fread(file, in.get(), std::min<uint64_t>(kInBytes, unread));
      if (r <= 0) Fail();
      unread -= static_cast<uint64_t>(r);
    }
    char extra;
    if (zip_fread(file, &extra, 1) != 0) Fail();
    if (given != size || (deflated && crc != claimed_crc)) Fail();
  }
};

ZipPackage::EntryReader::EntryReader(std::unique_ptr<State> state) : state_(std::move(state)) {}
ZipPackage::EntryReader::~EntryReader() = default;

size_t ZipPackage::EntryReader::Read(char* out, size_t n) {
  State& s = *state_;
  if (n == 0 || s.file == nullptr) return 0;  // nothing asked for, or past the end
  // At most one byte more than the entry claims is asked for: enough to
  // tell that it is larger.
  n = static_cast<size_t>(std::min<uint64_t>(n, s.size - std::min(s.given, s.size) + 1));
  n = std::min<size_t>(n, size_t{1} << 30);
  size_t got;
  if (s.deflated) {
    got = s.Inflate(out, n);
    s.crc = static_cast<uint32_t>(libdeflate_crc32(s.crc, out, got));
    bytes_inflated.fetch_add(got, std::memory_order_relaxed);
  } else {
    // libzip checks the checksum of a stored entry at its end.
    const zip_int64_t r = zip_fread(s.file, out, n);
    if (r < 0) s.Fail();
    got = static_cast<size_t>(r);
    s.ended = got == 0;
  }
  s.given += got;
  if (s.given > s.size) s.Fail();
  if (s.ended) {
    s.Finish();
    zip_fclose(s.file);
    s.file = nullptr;
  }
  return got;
}

std::unique_ptr<ZipPackage::EntryReader> ZipPackage::Open(const std::string& name) const {
  // A deflated entry is inflated here a piece at a time.
  const OpenedEntry e = OpenEntry(handle_->za, index_, name);
  auto s = std::make_unique<EntryReader::State>();
  s->name = name;
  s->file = e.file;
  s->deflated = e.deflated;
  s->size = e.st.size;
  s->unread = s->deflated ? e.st.comp_size : 0;
  s->claimed_crc = s->deflated ? e.st.crc : 0;
  if (s->deflated) {
    s->z = std::make_unique<inflate_state>();
    isal_inflate_init(s->z.get());
    s->z->crc_flag = ISAL_DEFLATE;
    s->in.reset(new char[EntryReader::State::kInBytes]);
  }
  return std::unique_ptr<EntryReader>(new EntryReader(std::move(s)));
}

std::string ZipPackage::Rewrite(const std::map<std::string, std::string>& replaced,
                                const std::vector<std::string>& removed,
                                std::map<std::string, DeflatedEntry> deflated) const {
  WriteSession w(&bytes_);
  auto r = replaced.begin();
  auto d = deflated.begin();
  while (r != replaced.end() || d != deflated.end()) {
    const bool take_deflated = r == replaced.end() || (d != deflated.end() && d->first < r->first);
    const std::string& name = take_deflated ? d->first : r->first;
    auto it = index_.find(name);
    if (it != index_.end()) {
      // Removed and added anew rather than replaced in place: libzip keeps
      // the original entry's compression settings for a replaced entry, and
      // those are usually the slowest level.
      zip_delete(w.za, static_cast<zip_uint64_t>(it->second));
    }
    if (take_deflated) {
      DeflatedEntry& e = d->second;
      w.Add(name, Deflated{std::move(e.data), e.size, e.crc, 0});
      ++d;
    } else {
      w.Add(name, r->second);
      ++r;
    }
  }
  for (const auto& name : removed) {
    auto it = index_.find(name);
    if (it != index_.end()) zip_delete(w.za, static_cast<zip_uint64_t>(it->second));
  }
  return w.Finish();
}

std::string ZipPackage::Build(const std::vector<std::pair<std::string, std::string>>& entries,
                              int level) {
  WriteSession w(nullptr);
  const int l = level >= 1 && level <= 9 ? level : kLevel;
  for (const auto& [name, data] : entries) w.Add(name, data, l);
  return w.Finish();
}

}  // namespace kelvora::host::xlsx
