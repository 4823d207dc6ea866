# Morrowby: `make demo` to hear it, `make test` to check it. Both install what is
# missing from Debian's packages first: the demo only what building and running need
# (`make deps`), the tests their own servers and window managers too (`make test-deps`);
# `make build` and `make check` never install anything.
BUILD ?= build
JOBS ?= $(shell nproc)
PREFIX ?= /usr/local
DESTDIR ?=
# The installed program when there is one, else the one built here.
MORROWBY_TO_RUN = $(firstword $(wildcard $(PREFIX)/bin/morrowby) $(CURDIR)/$(BUILD)/morrowby)
CHIME_DIR = $(or $(XDG_CONFIG_HOME),$(HOME)/.config)/systemd/user

FUZZ_SECONDS ?= 60

.PHONY: all build check demo test test-deps sanitized-tests thread-sanitized-tests soak fuzz deps bench install autostart no-autostart chime no-chime package screenshots update-po clean

all: build

deps:
	@tools/install-deps.sh --demo

test-deps:
	@tools/install-deps.sh --test

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=$(PREFIX)

build: $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

# The quick loop after an edit: the logic and store tests only, no display, no sound.
check: $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS) --target morrowby_logic_tests
	$(BUILD)/tests/morrowby_logic_tests --gtest_brief=1

# Runs the program once, as at log-in, on a prepared configuration of its own.
demo: deps build
	tools/demo.sh $(BUILD)/morrowby

# Everything, as CI runs it: warnings are errors here.
test: test-deps
	cmake -S . -B $(BUILD) -DMORROWBY_WERROR=ON >/dev/null
	$(MAKE) build sanitized-tests thread-sanitized-tests
	cd $(BUILD) && ctest --output-on-failure

# The unit tests once more, under AddressSanitizer and UndefinedBehaviorSanitizer.
sanitized-tests: test-deps
	cmake -S . -B $(BUILD)-asan -DMORROWBY_SANITIZE=ON -DMORROWBY_WERROR=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null
	cmake --build $(BUILD)-asan -j $(JOBS) --target morrowby_logic_tests
	$(BUILD)-asan/tests/morrowby_logic_tests --gtest_brief=1

# The sound tests once more, and the greeting program's whole runs, under
# ThreadSanitizer: any report fails the run. Address randomisation is turned off for
# it, since TSan's shadow memory needs fixed ranges.
thread-sanitized-tests: test-deps
	cmake -S . -B $(BUILD)-tsan -DMORROWBY_TSAN=ON -DMORROWBY_WERROR=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null
	cmake --build $(BUILD)-tsan -j $(JOBS) --target morrowby_sound_thread_tests morrowby
	TSAN_OPTIONS="halt_on_error=1 exitcode=66" setarch $$(uname -m) -R \
	  $(BUILD)-tsan/tests/morrowby_sound_thread_tests --gtest_brief=1
	setarch $$(uname -m) -R tests/app/greeting_whole_run.sh $(BUILD)-tsan/morrowby

# Saves killed with SIGKILL at random moments, SOAK_ROUNDS rounds for each way of
# writing a list; prints how many rounds left a torn file. Not part of `make test`.
SOAK_ROUNDS ?= 1000
soak: build
	MORROWBY_SOAK_ROUNDS=$(SOAK_ROUNDS) $(BUILD)/tests/morrowby_logic_tests \
	  --gtest_filter='CrashSafety/KilledWhileSavingTest.*'

# Each libFuzzer target for FUZZ_SECONDS on its seed corpus (tests/fuzz/corpus).
fuzz:
	tools/install-deps.sh --fuzz
	CC=clang CXX=clang++ cmake -S . -B $(BUILD)-fuzz -DMORROWBY_FUZZ=ON -DMORROWBY_TESTS=OFF \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	cmake --build $(BUILD)-fuzz -j $(JOBS) --target fuzz_song_list fuzz_settings fuzz_wave_image
	tools/run_fuzzers.sh $(BUILD)-fuzz $(FUZZ_SECONDS)

bench:
	tools/install-deps.sh --bench
	$(MAKE) build
	bench/bench.sh $(BUILD)/morrowby

install: build
	DESTDIR=$(DESTDIR) cmake --install $(BUILD) --prefix $(PREFIX)

# Runs Morrowby at every log-in of the current user (the XDG autostart folder), as
# `morrowby --autostart on` does.
autostart: build
	"$(MORROWBY_TO_RUN)" --autostart on

no-autostart: build
	"$(MORROWBY_TO_RUN)" --autostart off

# Speaks the time on the hour: a systemd user timer and service (see the README to
# change the interval).
chime: build
	tools/chime.sh install "$(CHIME_DIR)" "$(PREFIX)/bin/morrowby" "$(CURDIR)/$(BUILD)/morrowby"

no-chime:
	tools/chime.sh remove "$(CHIME_DIR)"

# The Debian package (debian/, with debhelper), built from a copy of the sources in
# $(BUILD)-package, where the .deb lands; then checked with lintian.
package:
	tools/install-deps.sh --package
	JOBS=$(JOBS) tools/build-package.sh $(BUILD)-package
	lintian --pedantic --info $(BUILD)-package/morrowby_*.deb

# Pictures of every window, for the README and for review: in English, and in each
# language of SCREENSHOT_LOCALES under docs/screenshots/<language>; and at larger
# text sizes, for review, in $(BUILD)/screenshots-scale/<scale>/ (on a larger screen).
SCREENSHOT_LOCALES ?= de_DE.UTF-8 fr_FR.UTF-8
screenshots: test-deps build
	xvfb-run -a -s "-screen 0 1280x800x24" $(BUILD)/tests/morrowby_screenshots docs/screenshots
	for locale in $(SCREENSHOT_LOCALES); do \
	  mkdir -p docs/screenshots/$${locale%%_*} && \
	  xvfb-run -a -s "-screen 0 1280x800x24" $(BUILD)/tests/morrowby_screenshots \
	    --locale=$$locale docs/screenshots/$${locale%%_*} || exit 1; \
	done
	for scale in 1 1.25 1.5 2; do \
	  mkdir -p $(BUILD)/screenshots-scale/$$scale && \
	  xvfb-run -a -s "-screen 0 2560x1600x24" $(BUILD)/tests/morrowby_screenshots \
	    --text-scale $$scale $(BUILD)/screenshots-scale/$$scale || exit 1; \
	done

# The texts for translation: po/morrowby.pot extracted again from the sources, and
# merged into each language's catalogue (po/<language>.po).
update-po:
	tools/update-po.sh

clean:
	rm -rf $(BUILD)
