target_sources(kelvora_core PRIVATE
  # (filled by the subsystem)
)
