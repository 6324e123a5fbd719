target_sources(kelvora_numbersets PRIVATE
  src/numbersets/batch_backend.cc
  src/numbersets/cpu_features.cc
  src/numbersets/number_sets.cc
  src/numbersets/set_batch.cc
  src/numbersets/sha256.cc
  src/numbersets/sha256_lanes.cc
)
