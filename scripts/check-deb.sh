#!/bin/sh
# Builds the .deb from the release preset, checks it with lintian (no errors allowed), installs
# it on this machine with apt-get and checks what it installed: both programs start, and the
# desktop entry and the AppStream metadata are valid. A package that this script installed is
# removed again at the end. Needs root or sudo.
# Usage: scripts/check-deb.sh
set -eu
cd "$(dirname "$0")/.."
as_root=""
[ "$(id -u)" -eq 0 ] || as_root="sudo"

scripts/install-deps.sh --deb
cmake --preset release >/dev/null
cmake --build --preset release
cpack --preset release

version=$(sed -n 's/^project(Trelvane VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
deb="$(pwd)/build/release/trelvane_${version}_$(dpkg --print-architecture).deb"
echo "== lintian $deb"
lintian --fail-on error --tag-display-limit 0 --display-info "$deb"

installed_before=no
dpkg-query -W -f='${Status}' trelvane 2>/dev/null | grep -q "install ok installed" &&
    installed_before=yes
DEBIAN_FRONTEND=noninteractive $as_root apt-get install -y -qq "$deb"
if [ "$installed_before" = no ]; then
    trap '$as_root apt-get remove -y -qq trelvane >/dev/null' EXIT
fi

echo "== the installed package"
dpkg-query -W -f='${Package} ${Version} ${Section}\nDepends: ${Depends}\n' trelvane
trelvane-cli --version
# The dialog runs until it is closed: still running after a few seconds means it started.
status=0
QT_QPA_PLATFORM=offscreen timeout 3 trelvane || status=$?
[ "$status" -eq 124 ] || { echo "trelvane did not start (status $status)" >&2 && exit 1; }
desktop-file-validate /usr/share/applications/org.example.Trelvane.desktop
appstreamcli validate --no-net /usr/share/metainfo/org.example.Trelvane.metainfo.xml
for page in /usr/share/man/man1/trelvane-cli.1.gz /usr/share/man/zh_CN/man1/trelvane-cli.1.gz \
    /usr/share/man/man1/trelvane.1.gz /usr/share/bash-completion/completions/trelvane-cli; do
    [ -f "$page" ] || { echo "missing: $page" >&2 && exit 1; }
done
echo "== the package installs and runs"
