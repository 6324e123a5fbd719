target_sources(kelvora_tests PRIVATE
  numbersets/number_sets_test.cc
  numbersets/set_batch_test.cc
  numbersets/sha256_test.cc
)
# NIST SHA-2 response files from the Debian package python3-cryptography-vectors.
set(KELVORA_NIST_SHA2_DIR "/usr/lib/python3/dist-packages/cryptography_vectors/hashes/SHA2"
    CACHE PATH "Directory of SHA256ShortMsg.rsp and SHA256LongMsg.rsp")
target_compile_definitions(kelvora_tests PRIVATE KELVORA_NIST_SHA2_DIR="${KELVORA_NIST_SHA2_DIR}")
