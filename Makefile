# Everyday commands. Each installs what is missing, builds what is stale, and runs.
#   make test   - host unit tests, Windows unit tests under Wine, end-to-end scenarios,
#                 and the HTTPS testing build's scenarios
#   make demo   - the assistant end to end against a bundled demo server
#   make build  - both builds, no tests
#   make bench  - transfer and digest speed against curl and md5sum (host),
#                 the bytes to finish a cut transfer, and, with the Windows
#                 build, the download check's time after the last byte under
#                 Wine, and the release exe's size when it is built
#   make package - the per-user installer build/windows/QmxAssistant-<version>.msi
#                 (packaging/, wixl)
#   make sign   - Authenticode-signs build/windows/QmxAssistant.exe with the
#                 maker's certificate (QMX_SIGN_CERT + QMX_SIGN_KEY or
#                 QMX_SIGN_PKCS12, optional QMX_SIGN_TIMESTAMP; tools/sign-exe.sh),
#                 then the installer made from the signed exe
.PHONY: test demo build bench sign package deps host windows windows-tls clean

VERSION := $(shell grep -o 'QmxAssistant VERSION [0-9.]*' CMakeLists.txt | cut -d' ' -f3)

JOBS ?= $(shell nproc 2>/dev/null || echo 2)

deps:
	@tools/install-deps.sh
	@tools/build-deps.sh
	@tools/build-deps.sh --tls

host: deps
	cmake --preset host >/dev/null
	cmake --build --preset host -j $(JOBS)

windows: deps
	cmake --preset windows >/dev/null
	cmake --build --preset windows -j $(JOBS)

# Only the testing exe and its tools of the HTTPS build (QMX_TLS): its tests
# are the HTTPS scenarios. The HTTPS product exe: cmake --build --preset
# windows-tls-release.
windows-tls: deps
	cmake --preset windows-tls >/dev/null
	cmake --build --preset windows-tls -j $(JOBS)

build: host windows windows-tls

# Wine on a loaded two-core machine can miss a window now and then; a Windows
# test that fails is run once more before the run counts as failed.
test: build
	tools/wine-prefix.sh
	ctest --test-dir build/host --output-on-failure
	ctest --test-dir build/windows --output-on-failure --repeat until-pass:2
	ctest --test-dir build/windows-tls --output-on-failure --repeat until-pass:2

demo: build
	python3 tools/demo.py

bench: host
	cmake --build --preset host --target qmx_bench -j $(JOBS)
	build/host/bench/qmx_bench
	@if [ -f build/windows/build.ninja ] || [ -f build/windows/Makefile ]; then \
	  cmake --build --preset windows --target qmx_bench_verdict -j $(JOBS) && \
	  bench/verdict-under-wine.sh build/host build/windows; fi
	@if [ -f build/windows/QmxAssistant.exe ]; then \
	  cmake -DQMX_EXE=build/windows/QmxAssistant.exe -P cmake/exe-size.cmake; fi

package: windows
	cmake --build --preset windows --target qmx_msi

# The last step before shipping: a later link of the exe drops the signature.
sign: windows
	tools/sign-exe.sh build/windows/QmxAssistant.exe
	cmake --build --preset windows --target qmx_msi
	tools/sign-exe.sh build/windows/QmxAssistant-$(VERSION).msi

clean:
	rm -rf build
