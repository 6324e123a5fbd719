#include "numbersets/sha256.h"

#include <atomic>
#include <cstring>

#include "numbersets/cpu_features.h"
#include "numbersets/sha256_internal.h"
#include "numbersets/sha256_kernels.h"

namespace kelvora::numbersets {
namespace {

using namespace kernels;  // NOLINT(build/namespaces)

#if KELVORA_SHA_X86

KELVORA_SHA_TARGET void DigestHexOf64ShaNiPlain(const uint8_t message[64], uint8_t hex[64]) {
  NoRoundHook none;
  DigestHexOf64ShaNi(message, hex, none);
}

#endif

bool& ShaNiFlag() {
  static bool available = Cpu().sha;
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

std::atomic<int64_t> compressions_counted{0};

}  // namespace

void CountCompressions(int64_t n) { compressions_counted.fetch_add(n, std::memory_order_relaxed); }

int64_t CompressionsCounted() { return compressions_counted.load(std::memory_order_relaxed); }

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
  NoRoundHook none;
  DigestHexOf64Portable(message, hex, none);
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
