# SPDX-License-Identifier: Apache-2.0
# USBORVA — the front door. `make demo` and `make test` do everything on a fresh machine.
JOBS      ?= $(shell nproc 2>/dev/null || echo 2)
BUILD     ?= build
FUZZ_TIME ?= 30
GENERATOR := $(shell command -v ninja >/dev/null 2>&1 && echo "-G Ninja")
# ccache, when the machine has it, makes rebuilds of unchanged files free.
LAUNCHER  := $(shell command -v ccache >/dev/null 2>&1 && echo "-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache")
# Our own builds treat warnings as errors; a consumer's build does not.
CMAKE_CFG  = cmake -S . $(GENERATOR) $(LAUNCHER) -DUSBORVA_WERROR=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: all deps deps-demo deps-docs demo docs python test test-plain test-asan test-clang package test-package bench bench-all fuzz format format-check clean

all: deps $(BUILD)/plain/.configured
	cmake -B $(BUILD)/plain -DUSBORVA_TESTS=ON > /dev/null
	cmake --build $(BUILD)/plain -j $(JOBS)

deps:
	@sh scripts/install-deps.sh test
deps-demo:
	@sh scripts/install-deps.sh demo
deps-docs:
	@sh scripts/install-deps.sh docs

# The plain build is Release, as a packager builds it. The demo needs no test framework:
# `make demo` configures it without tests, `make test` turns them on.
$(BUILD)/plain/.configured: | deps-demo
	$(CMAKE_CFG) -B $(BUILD)/plain -DCMAKE_BUILD_TYPE=Release -DUSBORVA_TESTS=OFF
	@touch $@

$(BUILD)/asan/.configured: | deps
	$(CMAKE_CFG) -B $(BUILD)/asan -DUSBORVA_SANITIZE=ON
	@touch $@

demo: $(BUILD)/plain/.configured
	cmake --build $(BUILD)/plain -j $(JOBS) --target usborva_tool
	$(BUILD)/plain/tools/usborva/usborva demo

# The HTML reference of the public headers (docs/Doxyfile): $(BUILD)/docs/html/index.html.
# The public_docs test runs the same with every warning an error.
docs: deps-docs
	@mkdir -p $(BUILD)/docs
	(cat docs/Doxyfile; echo "OUTPUT_DIRECTORY = $(BUILD)/docs") | doxygen -
	@echo "reference: $(BUILD)/docs/html/index.html"

# The Python package as a wheel with the shared library inside: build/plain/python/dist.
python: deps $(BUILD)/plain/.configured
	cmake --build $(BUILD)/plain -j $(JOBS) --target usborva_lib
	sh python/build_wheel.sh $(BUILD)/plain/libusborva.so.0 $(BUILD)/plain/python

# Plain tests (Release), the same under ASan+UBSan, a clang build, every fuzz target for a
# few seconds, then the Debian packages installed into a scratch root and used.
test: test-plain test-asan test-clang fuzz-smoke test-package

test-plain: deps $(BUILD)/plain/.configured
	cmake -B $(BUILD)/plain -DUSBORVA_TESTS=ON > /dev/null
	cmake --build $(BUILD)/plain -j $(JOBS)
	cd $(BUILD)/plain && ctest --output-on-failure -j $(JOBS)

test-asan: $(BUILD)/asan/.configured
	cmake --build $(BUILD)/asan -j $(JOBS)
	cd $(BUILD)/asan && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure -j $(JOBS)

# Debian packages (cmake/package.cmake) from the plain build, and the test that installs
# them into a scratch root and uses them.
package: $(BUILD)/plain/.configured
	cmake --build $(BUILD)/plain -j $(JOBS)
	rm -rf $(BUILD)/plain/packages
	cd $(BUILD)/plain && cpack -G DEB > cpack.log || { cat cpack.log; exit 1; }
	@ls $(BUILD)/plain/packages/*.deb

test-package: deps package
	sh tests/package/run_package_test.sh $(BUILD)/plain/packages tests/install/consumer \
	  $(BUILD)/package-test

# One clang build of the library, the tool and the tests: what only clang warns about.
$(BUILD)/clang/.configured: | deps
	CXX=clang++ $(CMAKE_CFG) -B $(BUILD)/clang -DCMAKE_BUILD_TYPE=Release
	@touch $@

test-clang: $(BUILD)/clang/.configured
	cmake --build $(BUILD)/clang -j $(JOBS)
	cd $(BUILD)/clang && ctest --output-on-failure -j $(JOBS)

# The performance report: one table, measured in one run (docs/performance.md).
bench: $(BUILD)/bench/.configured
	cmake --build $(BUILD)/bench -j $(JOBS) --target bench_report
	$(BUILD)/bench/bench/bench_report

# Every benchmark program, each with Google Benchmark's own output.
bench-all: $(BUILD)/bench/.configured
	cmake --build $(BUILD)/bench -j $(JOBS)
	@for b in $(BUILD)/bench/bench/bench_*; do [ -x "$$b" ] && "$$b" || exit 1; done

$(BUILD)/bench/.configured: | deps
	$(CMAKE_CFG) -B $(BUILD)/bench -DCMAKE_BUILD_TYPE=Release -DUSBORVA_TESTS=OFF -DUSBORVA_BENCH=ON
	@touch $@

# A target's extra libFuzzer flags, if it has any, are the one line of fuzz/<name>.flags
# (as in scripts/fuzz-smoke.sh).
fuzz: | deps
	CXX=clang++ cmake -S . $(GENERATOR) -B $(BUILD)/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DUSBORVA_FUZZ=ON
	cmake --build $(BUILD)/fuzz -j $(JOBS)
	@for f in $(BUILD)/fuzz/fuzz/fuzz_*; do \
	  set -f; [ -x "$$f" ] || continue; name=$$(basename $$f); \
	  mkdir -p $(BUILD)/fuzz/corpus/$$name; \
	  seeds=fuzz/corpus/$${name#fuzz_}; [ -d "$$seeds" ] || seeds=; \
	  flags=; if [ -f fuzz/$${name#fuzz_}.flags ]; then IFS= read -r flags <fuzz/$${name#fuzz_}.flags || true; fi; \
	  echo "== $$name ($(FUZZ_TIME) s) $$flags"; \
	  "$$f" -max_total_time=$(FUZZ_TIME) -print_final_stats=1 $$flags $(BUILD)/fuzz/corpus/$$name $$seeds || exit 1; \
	done

format:
	git ls-files '*.cc' '*.h' | xargs clang-format -i

format-check:
	git ls-files '*.cc' '*.h' | xargs clang-format --dry-run --Werror

clean:
	rm -rf $(BUILD)

# --- fuzz smoke (CI): every fuzz target for FUZZ_SMOKE_TIME seconds on fuzz/corpus/<name>/,
# built in $(BUILD)/fuzz like `make fuzz`. See scripts/fuzz-smoke.sh.
FUZZ_SMOKE_TIME ?= 4
.PHONY: fuzz-smoke
fuzz-smoke: | deps
	BUILD=$(BUILD) JOBS=$(JOBS) FUZZ_SMOKE_TIME=$(FUZZ_SMOKE_TIME) sh scripts/fuzz-smoke.sh

# --- Windows: QXUSBORVA.ocx cross-compiled with mingw-w64 (32- and 64-bit), proven under
# wine64. Not part of `make test`; see docs/windows.md.
WIN_BUILD := $(BUILD)/windows
.PHONY: windows test-windows windows-deps
windows-deps:
	@command -v i686-w64-mingw32-g++-posix >/dev/null && command -v x86_64-w64-mingw32-widl >/dev/null \
	  && [ -f /usr/include/wine/wine/windows/ocidl.idl ] || \
	  { apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends g++-mingw-w64-i686-posix \
	    g++-mingw-w64-x86-64-posix mingw-w64-tools libwine-dev; }
windows: windows-deps
	for arch in i686 x86_64; do \
	  cmake -S src/activex $(GENERATOR) -B $(WIN_BUILD)/$$arch -DCMAKE_BUILD_TYPE=Release \
	    -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/windows/mingw-$$arch.cmake && \
	  cmake --build $(WIN_BUILD)/$$arch -j $(JOBS) || exit 1; \
	done
test-windows: windows
	@[ -x /usr/lib/wine/wine64 ] && command -v python3 >/dev/null && [ -d /usr/share/i18n/locales ] || \
	  { apt-get update -qq && DEBIAN_FRONTEND=noninteractive \
	  apt-get install -y -qq --no-install-recommends wine wine64 python3 locales; }
	sh tests/windows/run.sh $(WIN_BUILD)/x86_64 $(WIN_BUILD)/i686

# The portable core and its tests as a 32-bit Linux program (g++ -m32), run under qemu's
# i386 user emulation: the code the 32-bit QXUSBORVA.ocx shares, at its pointer width. The
# tests that need the kernel rig (hidraw), spawn programs (cli) or run long (soak) stay
# 64-bit. GoogleTest is built for 32 bits from the sources libgtest-dev ships.
M32_BUILD := $(abspath $(BUILD))/m32
M32_TESTS := automation convert protocol carddata transport control host scenario
M32_CMAKE  = -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/windows/linux-i386.cmake
.PHONY: test-32 m32-deps
m32-deps: deps
	@command -v qemu-i386-static >/dev/null && [ -f /usr/lib32/crt1.o ] || \
	  { apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq \
	    --no-install-recommends g++-multilib qemu-user-static; }
$(M32_BUILD)/gtest/.installed: | m32-deps
	cmake -S /usr/src/googletest $(GENERATOR) $(LAUNCHER) -B $(M32_BUILD)/googletest $(M32_CMAKE) \
	  -DCMAKE_BUILD_TYPE=Release -DBUILD_GMOCK=OFF -DCMAKE_INSTALL_PREFIX=$(M32_BUILD)/gtest
	cmake --build $(M32_BUILD)/googletest -j $(JOBS) --target install
	@touch $@
test-32: $(M32_BUILD)/gtest/.installed
	cmake -S . $(GENERATOR) $(LAUNCHER) -B $(M32_BUILD)/core $(M32_CMAKE) \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_FIND_ROOT_PATH=$(M32_BUILD)/gtest
	cmake --build $(M32_BUILD)/core -j $(JOBS) --target $(addprefix test_,$(M32_TESTS))
	sh tests/windows/run32.sh $(M32_BUILD)/core $(M32_TESTS)
