#include "numbersets/sha256.h"

#include <cstring>

#include "numbersets/sha256_internal.h"
#include "numbersets/sha256_kernels.h"

#if KELVORA_SHA_X86
#include <cpuid.h>
#endif

namespace kelvora::numbersets {
namespace {

using namespace kernels;  // NOLINT(build/namespaces)

inline uint32_t LoadBigEndian(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | uint32_t{p[3]};
}

#define KELVORA_SHA_ROUND(a, b, c, d, e, f, g, h, wk)                  \
  do {                                                                 \
    const uint32_t t1 = (h) + BigSigma1(e) + Ch((e), (f), (g)) + (wk); \
    const uint32_t t2 = BigSigma0(a) + Maj((a), (b), (c));             \
    (d) += t1;                                                         \
    (h) = t1 + t2;                                                     \
  } while (0)

#define KELVORA_SHA_EIGHT(wk, t)                        \
  KELVORA_SHA_ROUND(a, b, c, d, e, f, g, h, wk(t + 0)); \
  KELVORA_SHA_ROUND(h, a, b, c, d, e, f, g, wk(t + 1)); \
  KELVORA_SHA_ROUND(g, h, a, b, c, d, e, f, wk(t + 2)); \
  KELVORA_SHA_ROUND(f, g, h, a, b, c, d, e, wk(t + 3)); \
  KELVORA_SHA_ROUND(e, f, g, h, a, b, c, d, wk(t + 4)); \
  KELVORA_SHA_ROUND(d, e, f, g, h, a, b, c, wk(t + 5)); \
  KELVORA_SHA_ROUND(c, d, e, f, g, h, a, b, wk(t + 6)); \
  KELVORA_SHA_ROUND(b, c, d, e, f, g, h, a, wk(t + 7))

void CompressPortable(uint32_t state[8], const uint8_t* blocks, size_t count) {
  for (; count > 0; --count, blocks += 64) {
    uint32_t w[16];
    for (int i = 0; i < 16; ++i) w[i] = LoadBigEndian(blocks + 4 * i);
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
#define KELVORA_WK_FIRST(t) (w[t] + kRoundConstants[t])
#define KELVORA_WK_NEXT(t)                                                               \
  (w[(t)&15] +=                                                                          \
   SmallSigma1(w[((t) + 14) & 15]) + w[((t) + 9) & 15] + SmallSigma0(w[((t) + 1) & 15]), \
   w[(t)&15] + kRoundConstants[t])
    KELVORA_SHA_EIGHT(KELVORA_WK_FIRST, 0);
    KELVORA_SHA_EIGHT(KELVORA_WK_FIRST, 8);
    for (int t = 16; t < 64; t += 16) {
      KELVORA_SHA_EIGHT(KELVORA_WK_NEXT, t);
      KELVORA_SHA_EIGHT(KELVORA_WK_NEXT, t + 8);
    }
#undef KELVORA_WK_FIRST
#undef KELVORA_WK_NEXT
    state[0] += a, state[1] += b, state[2] += c, state[3] += d;
    state[4] += e, state[5] += f, state[6] += g, state[7] += h;
  }
}

// The compression of the fixed padding block of a 64-byte message.
void CompressPad64Portable(uint32_t state[8]) {
  uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
  uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
#define KELVORA_WK_PAD(t) kPad64.wk[t]
  for (int t = 0; t < 64; t += 8) {
    KELVORA_SHA_EIGHT(KELVORA_WK_PAD, t);
  }
#undef KELVORA_WK_PAD
  state[0] += a, state[1] += b, state[2] += c, state[3] += d;
  state[4] += e, state[5] += f, state[6] += g, state[7] += h;
}

#undef KELVORA_SHA_EIGHT
#undef KELVORA_SHA_ROUND

// Two ASCII hexadecimal digits per byte value, high nibble first.
struct HexTable {
  char pairs[256][2];
};
constexpr HexTable MakeHexTable() {
  HexTable t{};
  constexpr char kDigits[] = "0123456789abcdef";
  for (int i = 0; i < 256; ++i) {
    t.pairs[i][0] = kDigits[i >> 4];
    t.pairs[i][1] = kDigits[i & 15];
  }
  return t;
}
constexpr HexTable kHex = MakeHexTable();

void WordsToHexPortable(const uint32_t h[8], uint8_t hex[64]) {
  for (int i = 0; i < 8; ++i) {
    const uint32_t v = h[i];
    std::memcpy(hex + 8 * i + 0, kHex.pairs[(v >> 24) & 0xff], 2);
    std::memcpy(hex + 8 * i + 2, kHex.pairs[(v >> 16) & 0xff], 2);
    std::memcpy(hex + 8 * i + 4, kHex.pairs[(v >> 8) & 0xff], 2);
    std::memcpy(hex + 8 * i + 6, kHex.pairs[v & 0xff], 2);
  }
}

#if KELVORA_SHA_X86

KELVORA_SHA_TARGET void DigestHexOf64ShaNiPlain(const uint8_t message[64], uint8_t hex[64]) {
  NoRoundHook none;
  DigestHexOf64ShaNi(message, hex, none);
}

bool DetectShaNi() {
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return false;
  const bool ssse3 = (ecx & (1u << 9)) != 0;
  const bool sse41 = (ecx & (1u << 19)) != 0;
  if (!__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx)) return false;
  const bool sha = (ebx & (1u << 29)) != 0;
  return ssse3 && sse41 && sha;
}

#else  // not x86

bool DetectShaNi() { return false; }

#endif

bool& ShaNiFlag() {
  static bool available = DetectShaNi();
  return available;
}

Sha256Backend& BackendSlot() {
  static Sha256Backend backend = ShaNiFlag() ? Sha256Backend::kShaNi : Sha256Backend::kPortable;
  return backend;
}

inline void Compress(Sha256Backend backend, uint32_t state[8], const uint8_t* blocks,
                     size_t count) {
#if KELVORA_SHA_X86
  if (backend == Sha256Backend::kShaNi) return CompressShaNi(state, blocks, count);
#endif
  CompressPortable(state, blocks, count);
}

}  // namespace

bool ShaNiAvailable() { return ShaNiFlag(); }

Sha256Backend CurrentSha256Backend() { return BackendSlot(); }

bool SetSha256Backend(Sha256Backend backend) {
  if (backend == Sha256Backend::kShaNi && !ShaNiAvailable()) return false;
  BackendSlot() = backend;
  return true;
}

void Sha256Compress(uint32_t state[8], const uint8_t block[64]) {
  Compress(CurrentSha256Backend(), state, block, 1);
}

namespace detail {

int32_t DigestWords(Sha256Backend backend, std::u16string_view message, uint32_t h[8]) {
  std::memcpy(h, kInitialHash, sizeof kInitialHash);
  constexpr size_t kBatchBlocks = 8;
  alignas(16) uint8_t buffer[64 * kBatchBlocks];
  const char16_t* p = message.data();
  size_t left = message.size();
  int32_t compressions = 0;
  while (left >= 64) {
    const size_t blocks = left / 64 < kBatchBlocks ? left / 64 : kBatchBlocks;
    const size_t bytes = blocks * 64;
    for (size_t i = 0; i < bytes; ++i) buffer[i] = static_cast<uint8_t>(p[i]);
    Compress(backend, h, buffer, blocks);
    compressions += static_cast<int32_t>(blocks);
    p += bytes;
    left -= bytes;
  }
  // The tail: the remaining bytes, 0x80, zeros and the 64-bit bit length.
  const size_t tail_blocks = left < 56 ? 1 : 2;
  std::memset(buffer, 0, 64 * tail_blocks);
  for (size_t i = 0; i < left; ++i) buffer[i] = static_cast<uint8_t>(p[i]);
  buffer[left] = 0x80;
  const uint64_t bits = static_cast<uint64_t>(message.size()) * 8u;
  uint8_t* length = buffer + 64 * tail_blocks - 8;
  for (int i = 0; i < 8; ++i) length[i] = static_cast<uint8_t>(bits >> (56 - 8 * i));
  Compress(backend, h, buffer, tail_blocks);
  return compressions + static_cast<int32_t>(tail_blocks);
}

void WordsToHex(const uint32_t h[8], uint8_t hex[64]) { WordsToHexPortable(h, hex); }

void DigestHexOf64(Sha256Backend backend, const uint8_t message[64], uint8_t hex[64]) {
#if KELVORA_SHA_X86
  if (backend == Sha256Backend::kShaNi) return DigestHexOf64ShaNiPlain(message, hex);
#endif
  uint32_t h[8];
  std::memcpy(h, kInitialHash, sizeof kInitialHash);
  CompressPortable(h, message, 1);
  CompressPad64Portable(h);
  WordsToHexPortable(h, hex);
}

}  // namespace detail

std::u16string CSHA256::DigestHex(std::u16string_view message) const {
  const Sha256Backend backend = CurrentSha256Backend();
  alignas(16) uint8_t hex[64];
  if (message.size() == 64) {
    alignas(16) uint8_t bytes[64];
    for (size_t i = 0; i < 64; ++i) bytes[i] = static_cast<uint8_t>(message[i]);
    detail::DigestHexOf64(backend, bytes, hex);
  } else {
    uint32_t h[8];
    detail::DigestWords(backend, message, h);
    detail::WordsToHex(h, hex);
  }
  return std::u16string(hex, hex + 64);
}

}  // namespace kelvora::numbersets
