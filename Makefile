# Front door: every target first makes sure the Debian packages are there,
# then configures and builds with CMake, then does its job.
BUILD   ?= build
PREFIX  ?= /usr/local
DESTDIR ?=
JOBS    ?= $(shell nproc)
FUZZ_SECONDS ?= 60

CMAKE_CONFIGURE = cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release

.PHONY: deps build test demo bench install gallery fuzz test-sanitize test-hosts clean

deps:
	@scripts/install-deps.sh

build: deps
	@$(CMAKE_CONFIGURE) > /dev/null
	@cmake --build $(BUILD) -j $(JOBS)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

demo: build
	@scripts/demo.sh $(BUILD)

bench: build
	@scripts/bench.sh $(BUILD)

install: build
	@scripts/install.sh $(BUILD) "$(DESTDIR)" "$(PREFIX)"

# docs/sounds: every factory preset's audition phrase as a spectrogram, its
# parameters and the index page.
gallery: build
	@scripts/gallery.sh $(BUILD)

# Every fuzz target for FUZZ_SECONDS seconds each (clang, libFuzzer).
fuzz: deps
	@FUZZ_SECONDS=$(FUZZ_SECONDS) JOBS=$(JOBS) scripts/fuzz.sh

# The unit tests and the validator against Quillo, built with ASan and UBSan.
test-sanitize: deps
	@JOBS=$(JOBS) scripts/test-sanitize.sh build-sanitize

# The LV2 build played by jalv under a JACK server with the dummy driver (not in CI).
test-hosts: build
	@scripts/test-hosts.sh $(BUILD)

clean:
	rm -rf $(BUILD) build-sanitize build-fuzz
