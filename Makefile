# Entry points for newcomers and CI. Everything real lives in CMakeLists.txt.
JOBS    ?= $(shell nproc)
BUILD   ?= build
EXAMPLE ?= examples/curve-family.kvx

.PHONY: deps build run test package-check test-asan test-tsan bench fuzz fuzz-build format format-check clean install package

deps:
	@scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release >/dev/null
	cmake --build $(BUILD) -j $(JOBS)

# make install PREFIX=/usr DESTDIR=/tmp/stage: program, menu entry, file types, icon, examples.
PREFIX  ?= /usr/local
install: build
	DESTDIR=$(DESTDIR) cmake --install $(BUILD) --prefix $(PREFIX)

# make package: build/kurvix_VERSION_ARCH.deb
package: build
	cd $(BUILD) && cpack -G DEB

run: build
	$(BUILD)/kurvix $(wildcard $(EXAMPLE))

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) -LE package

# The Debian package built and checked by lintian (where lintian is installed).
package-check: build
	cd $(BUILD) && ctest --output-on-failure -L package

# Core tests under AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan: deps
	cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DKURVIX_SANITIZE=ON >/dev/null
	cmake --build build-asan -j $(JOBS) --target core_tests
	cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	  ctest --output-on-failure -j $(JOBS) -L core

# The view and render tests, which run the range walk on two threads, under ThreadSanitizer.
test-tsan: deps
	cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKURVIX_TSAN=ON >/dev/null
	cmake --build build-tsan -j $(JOBS) --target test_view test_render test_render_qt
	cd build-tsan && TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=$(CURDIR)/scripts/tsan.supp \
	  ctest --output-on-failure -j $(JOBS) -L tsan

# libFuzzer targets for the file readers, the compiler and the notes reader: make fuzz FUZZ_SECONDS=600
# (make fuzz-build only builds them, as CI does).
FUZZ_SECONDS ?= 60
fuzz-build: deps
	@scripts/install-deps.sh scripts/packages-fuzz.txt
	CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKURVIX_FUZZ=ON >/dev/null
	cmake --build build-fuzz -j $(JOBS) --target FuzzLoad FuzzCompile FuzzRtf

fuzz: fuzz-build
	scripts/fuzz.sh $(FUZZ_SECONDS)

bench: build
	$(BUILD)/bench/kurvix_bench_expr

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

# Fails where a tracked source is not formatted as .clang-format says (make format mends it).
format-check: deps
	clang-format --dry-run -Werror $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf build build-asan build-tsan build-fuzz fuzz-out
