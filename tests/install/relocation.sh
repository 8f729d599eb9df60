#!/usr/bin/env bash
# Installs the build into a temporary prefix, moves the prefix elsewhere and runs the installed
# program from there: it must find its resources beside itself, not where it was installed.
#   relocation.sh BUILD_FOLDER CMAKE
set -euo pipefail
build="$1"
cmake="$2"
scratch="$(mktemp -d "${TMPDIR:-/tmp}/bosun-install-XXXXXX")"
trap 'rm -rf "$scratch"' EXIT

"$cmake" --install "$build" --prefix "$scratch/installed" >/dev/null
for file in bin/bosun share/bosun/symbols/arrow.right.svg share/man/man1/bosun.1 \
  share/bash-completion/completions/bosun share/zsh/site-functions/_bosun \
  share/fish/vendor_completions.d/bosun.fish; do
  [ -f "$scratch/installed/$file" ] || { echo "not installed: $file" >&2; exit 1; }
done
for module in bosun-artwork bosun-documents bosun-appcast bosun-collation; do
  compgen -G "$scratch/installed/lib*/bosun/$module.*" >/dev/null ||
    { echo "not installed: the module $module" >&2; exit 1; }
done

mv "$scratch/installed" "$scratch/moved"
bosun="$scratch/moved/bin/bosun"
unset HALYARD_RESOURCE_DIR
export BOSUN_NO_UPDATE_CHECK=1 HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/home/.config"
mkdir -p "$HOME"

"$bosun" help | grep -q '^Usage: bosun <command> \[options\]$' || { echo "bosun help failed" >&2; exit 1; }
# Drawing the default background needs the arrow from the installed artwork.
mkdir -p "$scratch/Releases/MyApp.app/Contents"
(cd "$scratch" && "$bosun" start Releases --no-sign --no-notarize --dry-run --preview window.png >/dev/null)
[ -s "$scratch/window.png" ] || { echo "no background drawn" >&2; exit 1; }
echo "relocated install works"
