#!/bin/sh
# Installs the Debian 12 packages that building and testing need (only those missing).
# Usage: scripts/install-deps.sh [--no-gui] [--deb]
#   --no-gui  only what the engine and the command-line tool need
#   --deb     also what building and checking the .deb needs
set -eu
packages="build-essential cmake ninja-build pkg-config libicu-dev libssl-dev libgtest-dev time bash-completion locales"
gui=yes
for option in "$@"; do
    case "$option" in
    --no-gui) gui=no ;;
    --deb) packages="$packages dpkg-dev lintian" ;;
    *) echo "usage: $0 [--no-gui] [--deb]" >&2 && exit 2 ;;
    esac
done
if [ "$gui" = yes ]; then
    packages="$packages qt6-base-dev libgl-dev fonts-wqy-microhei xvfb xauth desktop-file-utils appstream qt6-translations-l10n"
fi
missing=""
for package in $packages; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
        missing="$missing $package"
done
[ -z "$missing" ] && exit 0
as_root=""
[ "$(id -u)" -eq 0 ] || as_root="sudo"
$as_root apt-get update -qq
DEBIAN_FRONTEND=noninteractive $as_root apt-get install -y -qq --no-install-recommends $missing
