# Everyday commands. Each installs what is missing, builds what is stale, and runs.
#   make test   - host unit tests, Windows unit tests under Wine, end-to-end scenarios
#   make demo   - the assistant end to end against a bundled demo server
#   make build  - both builds, no tests
#   make bench  - transfer and digest speed against curl and md5sum (host)
.PHONY: test demo build bench deps host windows clean

JOBS ?= $(shell nproc 2>/dev/null || echo 2)

deps:
	@tools/install-deps.sh
	@tools/build-deps.sh

host: deps
	cmake --preset host >/dev/null
	cmake --build --preset host -j $(JOBS)

windows: deps
	cmake --preset windows >/dev/null
	cmake --build --preset windows -j $(JOBS)

build: host windows

# Wine on a loaded two-core machine can miss a window now and then; a Windows
# test that fails is run once more before the run counts as failed.
test: build
	tools/wine-prefix.sh
	ctest --test-dir build/host --output-on-failure
	ctest --test-dir build/windows --output-on-failure --repeat until-pass:2

demo: build
	python3 tools/demo.py

bench: host
	cmake --build --preset host --target qmx_bench -j $(JOBS)
	build/host/bench/qmx_bench

clean:
	rm -rf build
