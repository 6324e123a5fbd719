# A thin wrapper over CMake presets and ctest.
.PHONY: build build-tool test run deps deps-run deb test-package format-check test-release test-asan test-fuzz test-windows bench windows windows-package format clean

JOBS ?= $(shell nproc)

# The packages of the whole suite; deps-run only those of the tool.
deps:
	./scripts/install-deps test

deps-run:
	./scripts/install-deps run

# Everything of the release tree: the tool, its manual page and completion,
# the tests and the benchmarks.
build:
	cmake --preset release -DKELVORA_BUILD_TESTS=ON -DKELVORA_BUILD_BENCH=ON >/dev/null
	cmake --build --preset release -j $(JOBS)

# The tool alone at build/release/kelvora. A new tree is configured without
# the tests and benchmarks; one that has them keeps them.
build-tool:
	@test -f build/release/CMakeCache.txt || \
	  cmake --preset release -DKELVORA_BUILD_TESTS=OFF -DKELVORA_BUILD_BENCH=OFF >/dev/null
	cmake --build --preset release -j $(JOBS) --target kelvora

# build/release/kelvora_VERSION_ARCH.deb: the tool, its manual page and its
# bash completion under /usr.
deb: build-tool
	cmake --build --preset release -j $(JOBS) --target kelvora-docs
	cd build/release && cpack -G DEB >/dev/null
	@ls build/release/kelvora_*.deb

# Unpacks the package into a temporary root and uses it there.
test-package: deb
	./tests/package/check-deb build/release/kelvora_*.deb

# The closing summary repeats the one line of the Windows suites that step
# aside on a machine that cannot execute 32-bit programs.
test: deps format-check build test-release test-asan test-fuzz test-package test-windows
	@echo "make test: the release, sanitizer, fuzz and Windows suites passed"
	@bash -c 'root="$(CURDIR)"; . tests/windows/wine-env; can_run_32bit || echo "$$x86_not_run"'

test-release: build
	ctest --preset release -j $(JOBS)

test-asan:
	cmake --preset asan >/dev/null
	cmake --build --preset asan -j $(JOBS)
	ctest --preset asan -j $(JOBS)

test-fuzz:
	cmake --preset fuzz >/dev/null
	cmake --build --preset fuzz -j $(JOBS)
	ctest --preset fuzz -j $(JOBS)

# Kelvora.dll for 64- and 32-bit Office (MinGW-w64 cross builds).
windows:
	cmake --preset windows-x64 >/dev/null
	cmake --build --preset windows-x64 -j $(JOBS)
	cmake --preset windows-x86 >/dev/null
	cmake --build --preset windows-x86 -j $(JOBS)

# build/Kelvora-windows.zip: both DLLs, the installer, the VBA module and
# the instructions; the same tree gives the same bytes.
windows-package: windows build-tool
	./scripts/package-windows

# Drives both DLLs under Wine against a fake Excel, then installs, uses and
# uninstalls the package (headless).
test-windows: windows-package
	JOBS=$(JOBS) ./tests/windows/run-wine-tests
	./tests/windows/run-package-tests

run: deps-run build-tool
	./build/release/kelvora demo --force

# The Google Benchmark programs, then the full-scale run through the file
# beside its floor and openpyxl (bench/xlsx_load_save.py), and the intake of a
# 65000-draw page beside Gumbo alone parsing it (bench/large_intake.py).
bench: build
	@for b in build/release/bench/*_bench; do echo "== $$b"; $$b; done
	@echo "== bench/xlsx_load_save.py"
	/usr/bin/python3 bench/xlsx_load_save.py build/release/kelvora --analysis-bench build/release/bench/analysis_bench --json build/bench.json
	@echo "== bench/large_intake.py"
	/usr/bin/python3 bench/large_intake.py build/release/kelvora --gumbo build/release/bench/gumbo_parse

format:
	clang-format -i $$(git ls-files '*.cc' '*.h')

format-check:
	clang-format --dry-run -Werror $$(git ls-files '*.cc' '*.h')

clean:
	rm -rf build
