#!/usr/bin/env bash
# The README's main job: installs the dependencies, builds LumoMap and its lumomap tool (Qt 6,
# release), installs them under out/install, and runs the installed tool on the bundled legacy map
# examples/legacy-theatre.xml: converts it to the current map format, prints its info, validates
# it, renders it as PNG and SVG, draws its wiring (PNG and PDF sheets), writes its map page and its
# patch list.
# Everything it writes goes below out/.
set -euo pipefail
cd "$(dirname "$0")/.."

sample=examples/legacy-theatre.xml
build_dir=build/main
out_dir=out
prefix=$out_dir/install

scripts/install-deps.sh

echo "=== building (Qt 6, release) in $build_dir"
scripts/build.sh "$build_dir" -DCMAKE_BUILD_TYPE=Release -DLUMOMAP_QT_MAJOR=6 -DLUMOMAP_BUILD_TESTS=OFF
cmake --install "$build_dir" --prefix "$prefix" >/dev/null
lumomap=$prefix/bin/lumomap
echo "=== installed $("$lumomap" --version) in $prefix"

mkdir -p "$out_dir"
converted=$out_dir/legacy-theatre.lumomap.xml
echo
echo "=== lumomap convert $sample $converted"
"$lumomap" convert "$sample" "$converted"

echo
echo "=== lumomap info $converted"
"$lumomap" info "$converted"

echo
echo "=== lumomap validate $converted"
"$lumomap" validate "$converted"
echo "(exit 0: no errors; the warning is what every legacy import gives, all interfaces at order 0)"

echo
echo "=== lumomap render $converted -o $out_dir/legacy-theatre.png --labels"
"$lumomap" render "$converted" -o "$out_dir/legacy-theatre.png" --labels
"$lumomap" render "$converted" -o "$out_dir/legacy-theatre.svg" --labels

echo
echo "=== lumomap render $converted -o $out_dir/legacy-theatre-wiring.png --wiring --labels"
"$lumomap" render "$converted" -o "$out_dir/legacy-theatre-wiring.png" --wiring --labels
"$lumomap" render "$converted" -o "$out_dir/legacy-theatre-wiring.pdf" --wiring --labels

echo
echo "=== lumomap render $converted -o $out_dir/legacy-theatre.html"
"$lumomap" render "$converted" -o "$out_dir/legacy-theatre.html"

echo
echo "=== lumomap patch $converted -o $out_dir/legacy-theatre-patch.csv"
"$lumomap" patch "$converted" -o "$out_dir/legacy-theatre-patch.csv"
head -n 4 "$out_dir/legacy-theatre-patch.csv"

echo
echo "=== outputs"
echo "tool:            $lumomap"
echo "converted map:   $converted"
echo "rendered PNG:    $out_dir/legacy-theatre.png (1024x768)"
echo "rendered SVG:    $out_dir/legacy-theatre.svg"
echo "wiring PNG:      $out_dir/legacy-theatre-wiring.png (1024x768)"
echo "wiring sheets:   $out_dir/legacy-theatre-wiring.pdf (A4: an index, an overview and the pages of each interface)"
echo "map page:        $out_dir/legacy-theatre.html (open it in a browser)"
echo "patch list:      $out_dir/legacy-theatre-patch.csv ($(($(wc -l < "$out_dir/legacy-theatre-patch.csv") - 1)) nodes)"
