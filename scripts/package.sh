#!/usr/bin/env bash
# Builds the Debian package morvel-ax-helper_VERSION_ARCH.deb into build/package/
# (or BUILD_DIR/package) from the build of scripts/build.sh, and checks what it
# holds: the executables, the references, the example scene, the manual pages
# and the declared run-time dependencies. Install it with
#   apt-get install ./build/package/morvel-ax-helper_*.deb
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build_dir="${BUILD_DIR:-$top/build}"
out_dir="$build_dir/package"

command -v dpkg-shlibdeps >/dev/null || { echo "package: dpkg-dev is missing (scripts/bootstrap.sh)" >&2; exit 1; }
"$top/scripts/build.sh"
rm -rf "$out_dir"
(cd "$build_dir" && cpack -G DEB -B "$out_dir" >/dev/null)
rm -rf "$out_dir/_CPack_Packages"
deb=$(ls "$out_dir"/morvel-ax-helper_*.deb)

contents=$(dpkg-deb --contents "$deb")
for path in ./usr/bin/morvel_ax_helper ./usr/bin/morvel_ax_sim ./usr/bin/morvel_ax_record \
            ./usr/share/man/man1/morvel_ax_helper.1.gz ./usr/share/man/man1/morvel_ax_sim.1.gz \
            ./usr/share/man/man1/morvel_ax_record.1.gz \
            ./usr/share/doc/morvel-ax-helper/protocol.md ./usr/share/doc/morvel-ax-helper/scene-format.md \
            ./usr/share/doc/morvel-ax-helper/examples/contacts.json \
            ./usr/share/gnome-shell/extensions/morvel-ax-helper@morvel.org/metadata.json \
            ./usr/share/gnome-shell/extensions/morvel-ax-helper@morvel.org/extension.js; do
  grep -q " $path\$" <<<"$contents" || { echo "package: $deb lacks $path" >&2; exit 1; }
done
depends=$(dpkg-deb --field "$deb" Depends)
for library in libatspi2.0-0 libtesseract5 tesseract-ocr-eng tesseract-ocr-script-latn libicu72 libssl3 libx11-6 libxext6 \
               libpng16-16 libpipewire-0.3-0 at-spi2-core; do
  grep -q "$library" <<<"$depends" || { echo "package: $deb does not depend on $library ($depends)" >&2; exit 1; }
done
echo "$deb"
