# A thin wrapper over CMake presets and ctest.
.PHONY: build test run deps format-check test-release test-asan test-fuzz test-windows bench windows windows-package format clean

JOBS ?= $(shell nproc)

deps:
	./scripts/install-deps

build:
	cmake --preset release >/dev/null
	cmake --build --preset release -j $(JOBS)

# The closing summary repeats the one line of the Windows suites that step
# aside on a machine that cannot execute 32-bit programs.
test: deps format-check build test-release test-asan test-fuzz test-windows
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
windows-package: windows
	./scripts/package-windows

# Drives both DLLs under Wine against a fake Excel, then installs, uses and
# uninstalls the package (headless).
test-windows: windows-package
	JOBS=$(JOBS) ./tests/windows/run-wine-tests
	./tests/windows/run-package-tests

run: deps build
	./build/release/kelvora demo --force

# The Google Benchmark programs, then the full-scale run through the file
# beside its floor and openpyxl (bench/xlsx_load_save.py).
bench: build
	@for b in build/release/bench/*_bench; do echo "== $$b"; $$b; done
	@echo "== bench/xlsx_load_save.py"
	/usr/bin/python3 bench/xlsx_load_save.py build/release/kelvora --analysis-bench build/release/bench/analysis_bench

format:
	clang-format -i $$(git ls-files '*.cc' '*.h')

format-check:
	clang-format --dry-run -Werror $$(git ls-files '*.cc' '*.h')

clean:
	rm -rf build
