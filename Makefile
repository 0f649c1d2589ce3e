# Set-up, build, run and test on a Debian 12 machine.
BUILD_DIR ?= build
JOBS ?= 2
# WERROR=ON turns every compiler warning into an error (CI builds so).
WERROR ?= OFF

.PHONY: all deps build run demo test vmtest deb bench asan tsan fuzz clean screenshots

all: build

deps:
	@./scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVOBRELFM_WERROR=$(WERROR)
	cmake --build $(BUILD_DIR) -j$(JOBS)

# Starts the program; with no SYSTEM.CFG of the user's beside it, it talks to the
# bundled demo register on a pseudo-terminal.
run: build
	@if [ -f $(BUILD_DIR)/SYSTEM.CFG ]; then ./$(BUILD_DIR)/vobrelfm; \
	else ./$(BUILD_DIR)/vobrelfm --demo; fi

demo: build
	./$(BUILD_DIR)/vobrelfm --demo

test: build
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j$(JOBS)

# The command line against the kernel's own serial, USB serial and CD drivers in a virtual
# machine (qemu under software emulation, Debian's kernel package cached in build-vm/).
# Only the program and the register simulator are built for it.
vmtest: deps
	@./scripts/install-deps.sh qemu-system-x86 busybox-static || \
	  { echo "make vmtest needs qemu-system-x86 and busybox-static: sudo apt-get install qemu-system-x86 busybox-static" >&2; exit 1; }
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD_DIR) -j$(JOBS) --target vobrelfm ecrsim
	./scripts/vm/vmtest.sh $(BUILD_DIR)

# The Debian package (build-deb/vobrelfm_VERSION_ARCH.deb) for /usr, built without the
# tests and benchmarks in a folder of its own: apt install ./build-deb/vobrelfm_*.deb
DEB_BUILD_DIR ?= build-deb
deb: deps
	cmake -S . -B $(DEB_BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr \
	  -DVOBRELFM_BUILD_TESTS=OFF -DVOBRELFM_BUILD_BENCH=OFF -DVOBRELFM_HARDENING=ON
	cmake --build $(DEB_BUILD_DIR) -j$(JOBS)
	cd $(DEB_BUILD_DIR) && cpack -G DEB
	lintian --fail-on error,warning $(DEB_BUILD_DIR)/vobrelfm_*.deb

# Benchmarks: ratios against baselines measured in the same run; the print baseline is
# enscript with ghostscript's ps2pdf.
bench: build
	@./scripts/install-deps.sh enscript ghostscript
	./$(BUILD_DIR)/bench_report_grid
	./$(BUILD_DIR)/bench_download
	./$(BUILD_DIR)/bench_catalogue
	./$(BUILD_DIR)/bench_iso --program ./$(BUILD_DIR)/vobrelfm
	./$(BUILD_DIR)/bench_print --program ./$(BUILD_DIR)/vobrelfm
	./$(BUILD_DIR)/bench_burn
	bench/bench_burn_command.sh --program ./$(BUILD_DIR)/vobrelfm
	./$(BUILD_DIR)/bench_audit --program ./$(BUILD_DIR)/vobrelfm

# The suite under AddressSanitizer and UndefinedBehaviorSanitizer (benchmarks not built).
asan: deps
	cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DVOBRELFM_ASAN=ON -DVOBRELFM_BUILD_BENCH=OFF
	cmake --build build-asan -j$(JOBS)
	cd build-asan && QT_QPA_PLATFORM=offscreen \
	  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --output-on-failure -j$(JOBS)

# The threads under the thread sanitizer: the serial port, the session and the command-line
# tests against the simulator, the burner's cache (with the checksums it takes) and write
# threads and its command line, and the burn window's hand-over of the burner's events.
# Only the test programs these need are built.
TSAN_TESTS ?= SerialPort|IBus|EndToEndTest.CommandLine|EndToEndReports.CommandLine|EndToEndReports.Corrupted|WritePipeline|Burner\.|SessionVerify|CliBurn|ScsiTransport|ThreadHandover|EndToEndBurn|BurnProcedure|SessionStream
TSAN_TARGETS ?= tests_link tests_e2e_register tests_e2e_reports tests_burn tests_core tests_e2e_burn
tsan: deps
	cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=Debug -DVOBRELFM_TSAN=ON -DVOBRELFM_BUILD_BENCH=OFF
	cmake --build build-tsan -j$(JOBS) --target $(TSAN_TARGETS)
	cd build-tsan && QT_QPA_PLATFORM=offscreen \
	  TSAN_OPTIONS="halt_on_error=1 suppressions=$(CURDIR)/tests/tsan.supp" \
	  ctest --output-on-failure -j$(JOBS) -R '$(TSAN_TESTS)'

# Builds the fuzz targets with clang (address sanitizer on) and runs each for FUZZ_SECONDS,
# starting from its seed inputs in tests/fuzz/corpus/TARGET when there are any. Every
# tests/fuzz/fuzz_*.cpp must be listed here.
FUZZ_TARGETS = fuzz_ibus_receiver fuzz_ini_profile fuzz_catalogue fuzz_iso_import fuzz_language_files fuzz_disc_state fuzz_checksum_lists
FUZZ_SECONDS ?= 60
fuzz:
	@missing=$$(for f in tests/fuzz/fuzz_*.cpp; do t=$$(basename $$f .cpp); \
	  case " $(FUZZ_TARGETS) " in *" $$t "*) ;; *) echo $$t;; esac; done); \
	  if [ -n "$$missing" ]; then echo "not in FUZZ_TARGETS: $$missing" >&2; exit 1; fi
	@./scripts/install-deps.sh clang libclang-rt-14-dev
	CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=Debug -DVOBRELFM_FUZZ=ON -DVOBRELFM_ASAN=ON \
	  -DVOBRELFM_BUILD_TESTS=OFF -DVOBRELFM_BUILD_BENCH=OFF
	cmake --build build-fuzz -j$(JOBS) --target $(FUZZ_TARGETS)
	for f in $(FUZZ_TARGETS); do \
	  mkdir -p build-fuzz/corpus/$$f; \
	  seeds=tests/fuzz/corpus/$$f; [ -d $$seeds ] || seeds=; \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/fuzz/lsan.supp \
	  ./build-fuzz/$$f -max_total_time=$(FUZZ_SECONDS) build-fuzz/corpus/$$f $$seeds || exit 1; \
	done

# Every build folder.
clean:
	rm -rf $(BUILD_DIR) build build-*

# Every window under Xvfb with a window manager, as PNGs in build/screenshots.
screenshots: build
	./scripts/screenshots.sh $(BUILD_DIR) $(BUILD_DIR)/screenshots
