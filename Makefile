BUILD ?= build
CMAKE_FLAGS ?=
PACKAGE_BUILD ?= build-package

.PHONY: all deps configure build run test bench package clean

all: build

deps:
	@scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS) > /dev/null

build: configure
	@cmake --build $(BUILD)

run: build
	@scripts/run.sh $(BUILD)

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 600

bench: build
	@for b in $$(find $(BUILD)/bench -type f -perm -u+x -name '*bench*' | sort); do \
	  echo "== $$b"; QT_QPA_PLATFORM=offscreen "$$b" || exit 1; done

# The Debian package, from a build of its own below /usr with Debian's
# hardening flags (dpkg-buildflags, as Debian's own packages are built).
package: deps
	@export DEB_BUILD_MAINT_OPTIONS=hardening=+all; \
	  CFLAGS="$$(dpkg-buildflags --get CFLAGS) $$(dpkg-buildflags --get CPPFLAGS)" \
	  CXXFLAGS="$$(dpkg-buildflags --get CXXFLAGS) $$(dpkg-buildflags --get CPPFLAGS)" \
	  LDFLAGS="$$(dpkg-buildflags --get LDFLAGS)" \
	  cmake -S . -B $(PACKAGE_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=None -DCMAKE_INSTALL_PREFIX=/usr \
	  -DBUILD_TESTING=OFF -DQV_BUILD_BENCH=OFF > /dev/null
	@cmake --build $(PACKAGE_BUILD) --target package
	@ls $(PACKAGE_BUILD)/*.deb

clean:
	rm -rf $(BUILD)
