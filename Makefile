# Front door. Each target installs only the Debian packages it needs
# (scripts/install-deps.sh, by group), configures with CMake and builds only
# what it uses. `make` alone lists the targets.
BUILD   ?= build
PREFIX  ?= /usr/local
DESTDIR ?=
JOBS    ?= $(shell nproc)
FUZZ_SECONDS ?= 60

# A new build tree starts without tests and benchmarks, so that the plug-in
# builds without their packages; the targets that need them switch them on, and
# they stay on. $(call configure,CMAKE-OPTIONS)
configure = cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release \
	$(if $(wildcard $(BUILD)/CMakeCache.txt),,-DQUILLO_TESTS=OFF -DQUILLO_BENCH=OFF) $(1) >/dev/null
compile = cmake --build $(BUILD) -j $(JOBS) $(if $(1),--target $(1))
deps = scripts/install-deps.sh $(1)

.DEFAULT_GOAL := help
.PHONY: help demo build test install bench gallery fuzz test-sanitize test-hosts deb deb-check \
	format-check clean

help:
	@echo "make demo           build quillo.so and quillo-render, render a demo phrase to demo.wav"
	@echo "make build          build quillo.so, quillo.lv2, quillo-jack, quillo-render and quillo-validate"
	@echo "make test           build and run the test suite"
	@echo "make install        install quillo.so, quillo.lv2, quillo-render and quillo-jack (as root: for all users)"
	@echo "make deb            build the Debian packages into build-deb/ and check them with lintian"
	@echo "make deb-check      build, install, play and remove the Debian packages (root)"
	@echo "make bench          benchmark Quillo against amsynth and Nekobi"
	@echo "make gallery        draw every factory preset's audition phrase into docs/sounds/"
	@echo "make fuzz           run every fuzz target for FUZZ_SECONDS seconds (default 60)"
	@echo "make test-sanitize  run the test suite built with ASan and UBSan"
	@echo "make test-hosts     play the LV2 build in jalv under a JACK server with the dummy driver"
	@echo "make format-check   compare the C++ sources with clang-format's style"
	@echo "make clean          remove the build trees"
	@echo "Each target first installs the Debian packages it needs (scripts/install-deps.sh --list)."

demo:
	@$(call deps,build)
	@$(call configure)
	@$(call compile,quillo quillo-render)
	@scripts/demo.sh $(BUILD)

build:
	@$(call deps,build)
	@$(call configure)
	@$(call compile,quillo quillo_lv2 quillo-jack quillo-render quillo-validate)

test:
	@$(call deps,build test)
	@$(call configure,-DQUILLO_TESTS=ON)
	@$(call compile)
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

install:
	@$(call deps,build)
	@$(call configure)
	@$(call compile,quillo quillo_lv2 quillo_vst2_presets quillo-render quillo-jack)
	@scripts/install.sh $(BUILD) "$(DESTDIR)" "$(PREFIX)"

bench:
	@$(call deps,build bench peers)
	@$(call configure,-DQUILLO_BENCH=ON)
	@$(call compile,quillo quillo_lv2 quillo-bench-host quillo-unit-bench quillo-render)
	@scripts/bench.sh $(BUILD)

# docs/sounds: every factory preset's audition phrase as a spectrogram, its
# parameters and the index page.
gallery:
	@$(call deps,build gallery)
	@$(call configure)
	@$(call compile,quillo-gallery)
	@scripts/gallery.sh $(BUILD)

# Every fuzz target for FUZZ_SECONDS seconds each (clang, libFuzzer), in build-fuzz.
fuzz:
	@$(call deps,build fuzz)
	@FUZZ_SECONDS=$(FUZZ_SECONDS) JOBS=$(JOBS) scripts/fuzz.sh

# The unit tests and the validator against Quillo, built with ASan and UBSan in
# build-sanitize; the other instruments are rendered too.
test-sanitize:
	@$(call deps,build test peers)
	@JOBS=$(JOBS) scripts/test-sanitize.sh build-sanitize

# The LV2 build played by jalv under a JACK server with the dummy driver (not in CI).
test-hosts:
	@$(call deps,build hosts)
	@$(call configure)
	@$(call compile,quillo_lv2)
	@scripts/test-hosts.sh $(BUILD)

# Debian packages built with debhelper from a clean copy of the sources.
deb:
	@$(call deps,deb)
	@scripts/deb.sh build-deb

# The packages installed with apt, played and removed again; needs root.
deb-check:
	@$(call deps,deb test)
	@scripts/deb-check.sh build-deb

format-check:
	@$(call deps,format)
	@scripts/format-check.sh

clean:
	rm -rf $(BUILD) build-sanitize build-fuzz build-deb
