# Everyday commands. Each installs what is missing, builds what is stale, and runs.
#   make test   - host unit tests, Windows unit tests under Wine, end-to-end scenarios,
#                 and the HTTPS testing build's scenarios
#   make demo   - the assistant end to end against a bundled demo server
#   make build  - every tree make test uses, no tests
#   make bench  - transfer and digest speed against curl and md5sum (host),
#                 the bytes to finish a cut transfer, under Wine the download
#                 check's time after the last byte and start-up's own cost,
#                 and the release exe's size when it is built
#   make package - the per-user installer build/windows/QmxAssistant-<version>.msi
#                  and the Group Policy templates beside it (build/windows/PolicyDefinitions/)
#                 (packaging/, wixl)
#   make sign   - Authenticode-signs build/windows/QmxAssistant.exe with the
#                 maker's certificate (QMX_SIGN_CERT + QMX_SIGN_KEY or
#                 QMX_SIGN_PKCS12, optional QMX_SIGN_TIMESTAMP; tools/sign-exe.sh),
#                 then the installer made from the signed exe
#
# Which Windows trees the tests and the demo run (tools/windows-arch.sh):
#   x86 - where 32-bit programs start: the i686 trees (build/windows,
#         build/windows-tls) under wine32 in a win32 prefix;
#   x64 - where the machine runs 64-bit user code only: the x86-64 trees
#         (build/windows-x64, build/windows-x64-tls) under wine64 in a win64
#         prefix. The shipped i686 exe and its package are still built and
#         checked (the "exe" tests of build/windows), never run.
# make test WINDOWS_ARCH=x64 takes the x86-64 trees on any machine.
.PHONY: test demo build bench sign package deps deps-x86 deps-x86-tls deps-x64 deps-x64-tls host \
        windows windows-release \
        windows-tls windows-x64 windows-x64-tls clean

VERSION := $(shell grep -o 'QmxAssistant VERSION [0-9.]*' CMakeLists.txt | cut -d' ' -f3)

JOBS ?= $(shell nproc 2>/dev/null || echo 2)
PHASE := tools/phase.sh
# Scenarios run side by side in this many lanes (QMX_E2E_LANES of the trees).
E2E_JOBS ?= 2

WINDOWS_ARCH ?=
ifneq ($(filter test demo build bench,$(MAKECMDGOALS)),)
ifneq ($(origin ARCH),command line)
ARCH := $(shell tools/windows-arch.sh $(WINDOWS_ARCH))
ifeq ($(ARCH),)
$(error tools/windows-arch.sh found no Windows architecture to test)
endif
endif
endif

deps:
	@tools/install-deps.sh

# The i686 libraries are built on every machine: the shipped exe is i686.
deps-x86: deps
	@tools/build-deps.sh

deps-x86-tls: deps
	@tools/build-deps.sh --tls

deps-x64: deps
	@tools/build-deps.sh --x64

deps-x64-tls: deps
	@tools/build-deps.sh --x64 --tls

host: deps
	cmake --preset host >/dev/null
	cmake --build --preset host -j $(JOBS)

windows: deps-x86
	cmake --preset windows >/dev/null
	cmake --build --preset windows -j $(JOBS)

# Only the shipped exe and its package, for a machine that cannot run them.
windows-release: deps-x86
	cmake --preset windows >/dev/null
	cmake --build --preset windows -j $(JOBS) --target QmxAssistant qmx_msi

# Only the testing exe and its tools of the HTTPS build (QMX_TLS): its tests
# are the HTTPS scenarios. The HTTPS product exe: cmake --build --preset
# windows-tls-release.
windows-tls: deps-x86-tls
	cmake --preset windows-tls >/dev/null
	cmake --build --preset windows-tls -j $(JOBS)

windows-x64: deps-x64
	cmake --preset windows-x64 >/dev/null
	cmake --build --preset windows-x64 -j $(JOBS)

windows-x64-tls: deps-x64-tls
	cmake --preset windows-x64-tls >/dev/null
	cmake --build --preset windows-x64-tls -j $(JOBS)

ifeq ($(ARCH),x64)
WIN_TREE := build/windows-x64
WIN_TLS_TREE := build/windows-x64-tls
WIN_BUILDS := windows-release windows-x64 windows-x64-tls
WIN_DEPS := deps-x86 deps-x64 deps-x64-tls
WIN_PLAIN_DEPS := tools/build-deps.sh --x64
WIN_PRESET := windows-x64
else
WIN_TREE := build/windows
WIN_TLS_TREE := build/windows-tls
WIN_BUILDS := windows windows-tls
WIN_DEPS := deps-x86 deps-x86-tls
WIN_PLAIN_DEPS := tools/build-deps.sh
WIN_PRESET := windows
endif

build: host $(WIN_BUILDS)

# Wine on a loaded two-core machine can miss a window now and then; a Windows
# test that fails is run once more before the run counts as failed.
test:
	@$(PHASE) deps $(MAKE) --no-print-directory $(WIN_DEPS)
	@$(PHASE) builds $(MAKE) --no-print-directory build ARCH=$(ARCH)
	@$(PHASE) host-tests ctest --test-dir build/host --output-on-failure
	@$(PHASE) exe-checks sh -c 'ctest --test-dir build/windows -L exe --output-on-failure $(if $(filter x64,$(ARCH)),\
	    && ctest --test-dir build/windows-x64 -L exe --output-on-failure)'
	@$(PHASE) windows-unit ctest --test-dir $(WIN_TREE) -R '^windows\.unit$$' --output-on-failure \
	    --repeat until-pass:2
	@$(PHASE) scenarios ctest --test-dir $(WIN_TREE) -L e2e -j $(E2E_JOBS) --output-on-failure \
	    --repeat until-pass:2
	@$(PHASE) https-scenarios ctest --test-dir $(WIN_TLS_TREE) -j $(E2E_JOBS) --output-on-failure \
	    --repeat until-pass:2
	@$(PHASE) bench-runs ctest --test-dir $(WIN_TREE) -L bench --output-on-failure --repeat until-pass:2

# Builds only what the demo runs: the publisher tool and the testing exe
# with the probe and the stand-in of this machine's Windows tree.
demo:
	@tools/install-deps.sh
	@$(WIN_PLAIN_DEPS)
	cmake --preset host >/dev/null
	cmake --build --preset host -j $(JOBS) --target qmxpublish
	cmake --preset $(WIN_PRESET) >/dev/null
	cmake --build --preset $(WIN_PRESET) -j $(JOBS) --target QmxAssistantSim qmxprobe qmx_standin
	python3 tools/demo.py --build-dir $(WIN_TREE)

# Builds what it measures: the host tree, and this machine's Windows tree
# with the programs the Wine benches run (bench/run-bench.sh).
bench: host
	@$(WIN_PLAIN_DEPS)
	cmake --preset $(WIN_PRESET) >/dev/null
	cmake --build --preset $(WIN_PRESET) -j $(JOBS) --target QmxAssistantSim qmxprobe \
	    qmx_bench_verdict qmx_bench_bare
	QMX_WINDOWS_ARCH=$(ARCH) bench/run-bench.sh build/host $(WIN_TREE)
	@if [ -f build/windows/QmxAssistant.exe ]; then \
	  cmake -DQMX_EXE=build/windows/QmxAssistant.exe -P cmake/exe-size.cmake; fi

package: windows-release

# The last step before shipping: a later link of the exe drops the signature.
sign: windows-release
	tools/sign-exe.sh build/windows/QmxAssistant.exe
	cmake --build --preset windows --target qmx_msi
	tools/sign-exe.sh build/windows/QmxAssistant-$(VERSION).msi

clean:
	rm -rf build
