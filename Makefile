# The one entry point: make deps | build | test | test-sanitize | test-thread | demo | bench | fuzz | release |
# format-check | lint | clean
BUILD_DIR ?= build
SANITIZE_BUILD_DIR ?= build-asan
THREAD_BUILD_DIR ?= build-tsan
FUZZ_BUILD_DIR ?= build-fuzz
RELEASE_BUILD_DIR ?= build-release
FUZZ_SECONDS ?= 60
# Every target that has a corpus; FUZZ_TARGETS="bom plist" picks some.
FUZZ_TARGETS ?= $(notdir $(wildcard fuzz/corpus/*))
JOBS ?= $(shell nproc)
# More options for every folder configured afresh (CI: -DUNINSTALLER_WERROR=ON).
CMAKE_OPTIONS ?=
# The sanitizers need line tables, not full debugging information, and run as well at -O1: the sanitizer
# folders compile in about half the time.
SANITIZER_FLAGS := -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG"

# Debian packages the build, the tests and the tools need.
PACKAGES := cmake ninja-build ccache g++ clang lld clang-format clang-tidy pkg-config qt6-base-dev libplist-dev \
	libcups2-dev zlib1g-dev libutf8proc-dev libarchive-dev man-db groff-base \
	googletest libgtest-dev libbenchmark-dev libclang-rt-14-dev libssl-dev findutils psmisc xvfb xauth \
	nlohmann-json3-dev libvalijson-dev original-awk \
	fonts-noto-core fonts-noto-cjk

.PHONY: deps build test test-sanitize test-thread demo demo-programs bench fuzz release format-check lint clean

deps:
	@missing=$$(for p in $(PACKAGES); do \
		dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed' || echo $$p; done); \
	if [ -n "$$missing" ]; then \
		echo "Installing:" $$missing; \
		SUDO=$$( [ "$$(id -u)" = 0 ] || echo sudo ); \
		$$SUDO env DEBIAN_FRONTEND=noninteractive apt-get update -qq && \
		$$SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $$missing; \
	fi

$(BUILD_DIR)/build.ninja:
	cmake -S . -B $(BUILD_DIR) -G Ninja $(CMAKE_OPTIONS)

build: deps $(BUILD_DIR)/build.ninja
	cmake --build $(BUILD_DIR) -j $(JOBS)

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

# The whole suite again, built with AddressSanitizer and UndefinedBehaviorSanitizer: the test programs and
# what they run, not the window or the tools the tests do not use.
$(SANITIZE_BUILD_DIR)/build.ninja:
	cmake -S . -B $(SANITIZE_BUILD_DIR) -G Ninja -DENABLE_ASAN=ON -DENABLE_UBSAN=ON -DBUILD_BENCHMARKS=OFF \
		$(SANITIZER_FLAGS) $(CMAKE_OPTIONS)

test-sanitize: deps $(SANITIZE_BUILD_DIR)/build.ninja
	cmake --build $(SANITIZE_BUILD_DIR) -j $(JOBS) --target test_programs
	cd $(SANITIZE_BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

# The window's suites, where the search and the uninstall run on threads of their own, built with
# ThreadSanitizer; races reported only inside Qt's own libraries are suppressed (tests/tsan.supp).
UI_TESTS := SoftwareTableTest ProgressSheetTest AlertPanelTest MainWindowTest LocalizationTest WindowLocalizationTest
$(THREAD_BUILD_DIR)/build.ninja:
	cmake -S . -B $(THREAD_BUILD_DIR) -G Ninja -DENABLE_TSAN=ON -DBUILD_BENCHMARKS=OFF $(SANITIZER_FLAGS) \
		$(CMAKE_OPTIONS)

test-thread: deps $(THREAD_BUILD_DIR)/build.ninja
	cmake --build $(THREAD_BUILD_DIR) -j $(JOBS) --target $(UI_TESTS)
	cd $(THREAD_BUILD_DIR) && TSAN_OPTIONS="suppressions=$(CURDIR)/tests/tsan.supp" \
		ctest --output-on-failure -j $(JOBS) -R '^ui\.'

# What the demo and scripts/screenshot run, built by name: the bundle, the sample-system writer and the
# screenshot tool; not the tests, benchmarks and fuzz replays, which "make test" builds.
DEMO_TARGETS := bundle make-sample-system uninstaller-screenshot
demo-programs: deps $(BUILD_DIR)/build.ninja
	cmake --build $(BUILD_DIR) -j $(JOBS) --target $(DEMO_TARGETS)

# A sample macOS 10.15 system with TORVA's software, written afresh, the uninstaller's rows for it, and
# the window on it: opened on a desktop, rendered to a PNG without a display (never waiting for a user).
demo: demo-programs
	rm -rf $(BUILD_DIR)/sample
	$(BUILD_DIR)/tools/make-sample-system/make-sample-system $(BUILD_DIR)/sample
	$(BUILD_DIR)/Uninstaller.app/Contents/MacOS/uninstaller-cli --root $(BUILD_DIR)/sample list
	@if [ -n "$${DISPLAY:-}$${WAYLAND_DISPLAY:-}" ] && [ -z "$${CI:-}" ] && \
		$(BUILD_DIR)/Uninstaller.app/Contents/MacOS/uninstaller --root $(BUILD_DIR)/sample; then :; else \
		mkdir -p $(BUILD_DIR)/demo; \
		if QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$(CURDIR)/$(BUILD_DIR)/demo timeout 120 \
			$(BUILD_DIR)/tools/screenshot/uninstaller-screenshot --root $(BUILD_DIR)/sample \
			--window $(BUILD_DIR)/demo/uninstaller.png >/dev/null 2>$(BUILD_DIR)/demo/screenshot.log; then \
			echo "No display: the window is drawn in $(BUILD_DIR)/demo/uninstaller.png"; \
		else cat $(BUILD_DIR)/demo/screenshot.log; exit 1; fi; \
	fi

# Every benchmark; pass BENCH_FILTER=regex to run some of them.
BENCH_FILTER ?= .
bench: build
	$(BUILD_DIR)/bench/uninstaller_bench --benchmark_filter='$(BENCH_FILTER)' --benchmark_counters_tabular=true

# Each fuzzer runs FUZZ_SECONDS on a copy of its committed corpus, so that what it adds stays out of the
# source tree; what it finds goes to $(FUZZ_BUILD_DIR)/artifacts. Every target runs even after a finding.
$(FUZZ_BUILD_DIR)/build.ninja:
	cmake -S . -B $(FUZZ_BUILD_DIR) -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
		-DENABLE_FUZZERS=ON -DBUILD_TESTING=OFF -DBUILD_BENCHMARKS=OFF

fuzz: deps $(FUZZ_BUILD_DIR)/build.ninja
	cmake --build $(FUZZ_BUILD_DIR) -j $(JOBS) --target $(addsuffix _fuzzer,$(FUZZ_TARGETS))
	@mkdir -p $(FUZZ_BUILD_DIR)/artifacts
	@failed=; for t in $(FUZZ_TARGETS); do \
		mkdir -p $(FUZZ_BUILD_DIR)/corpus/$$t && cp -n fuzz/corpus/$$t/* $(FUZZ_BUILD_DIR)/corpus/$$t/; \
		dict=; [ -f fuzz/$$t.dict ] && dict=-dict=fuzz/$$t.dict; \
		echo "== $$t"; \
		LSAN_OPTIONS=suppressions=$(CURDIR)/fuzz/lsan.supp:print_suppressions=0 \
			$(FUZZ_BUILD_DIR)/fuzz/$${t}_fuzzer $$dict -max_total_time=$(FUZZ_SECONDS) -timeout=10 \
			-rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix=$(FUZZ_BUILD_DIR)/artifacts/$$t- \
			$(FUZZ_BUILD_DIR)/corpus/$$t || failed="$$failed $$t"; \
	done; \
	if [ -n "$$failed" ]; then echo "Findings in:$$failed (see $(FUZZ_BUILD_DIR)/artifacts)"; exit 1; fi

# The build that ships: the bundle alone, without the tests' hooks into the environment
# (UNINSTALLER_TEST_HOOKS), so that nothing in the environment of a super-user's run can choose its
# bundle, its tools or its processes.
$(RELEASE_BUILD_DIR)/build.ninja:
	cmake -S . -B $(RELEASE_BUILD_DIR) -G Ninja -DUNINSTALLER_TEST_HOOKS=OFF $(CMAKE_OPTIONS)

release: deps $(RELEASE_BUILD_DIR)/build.ninja
	cmake --build $(RELEASE_BUILD_DIR) -j $(JOBS) --target bundle

# Every C++ file of the tree formatted as .clang-format says (nothing is changed).
format-check:
	git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror

# clang-tidy (.clang-tidy, every warning an error) on the C++ files the last commits changed.
lint: build
	BUILD_DIR=$(BUILD_DIR) JOBS=$(JOBS) scripts/lint-changed

clean:
	rm -rf $(BUILD_DIR) $(SANITIZE_BUILD_DIR) $(THREAD_BUILD_DIR) $(FUZZ_BUILD_DIR) $(RELEASE_BUILD_DIR)
