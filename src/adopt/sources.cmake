target_sources(kelvora_adopt PRIVATE
  src/adopt/adopt.cc
)
