#!/usr/bin/env bash
# The desktop entry passes desktop-file-validate, names the program and the
# icon that are installed, and the icon is well-formed SVG.
. "$(dirname "$0")/lib.sh"
dist=$TROSK_SOURCE_DIR/dist

report=$(desktop-file-validate "$dist/trosk-gui.desktop" 2>&1)
[ $? = 0 ] && [ -z "$report" ] || fail "desktop-file-validate:"$'\n'"$report"
grep -qx 'Exec=trosk-gui' "$dist/trosk-gui.desktop" || fail "Exec is not trosk-gui"
grep -qx 'Icon=trosk-gui' "$dist/trosk-gui.desktop" || fail "Icon is not trosk-gui"
python3 -c 'import sys, xml.dom.minidom as m
root = m.parse(sys.argv[1]).documentElement
sys.exit(root.tagName != "svg" or not root.getAttribute("viewBox"))' "$dist/trosk-gui.svg" \
  || fail "trosk-gui.svg is not an SVG document with a viewBox"
finish
