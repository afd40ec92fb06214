# shellcheck shell=bash
# The Debian package in CI: made from a build folder by CPack and checked by lintian, then
# installed with apt-get into a root (/ or a chroot's, see chroot.sh), its commands run from
# the installed files, and removed again, leaving none of them behind.

# make_package BUILD: builds BUILD's package (dpkg-shlibdeps from dpkg-dev gives its
# Depends), prints lintian's findings, fails on an error or a warning, and prints the package's
# path, its size and its Depends line on standard error.
make_package() {
  local build=$1 deb
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends dpkg-dev \
    lintian >&2
  (cd "$build" && cpack -G DEB >&2)
  deb=$(ls "$build"/oemcom_*.deb)
  echo "ci: $(basename "$deb"): $(stat -c %s "$deb") bytes" >&2
  echo "ci: Depends: $(dpkg-deb -f "$deb" Depends)" >&2
  echo "ci: lintian:" >&2
  lintian --fail-on error,warning "$deb" >&2
  readlink -f "$deb"
}

# try_package ROOT DEB: installs DEB into ROOT (/ for this machine) with apt-get, runs te-run
# on the installed image and oemcom-boot's flash boot from the installed files, removes the
# package, and fails unless its files are gone.
try_package() {
  local root=$1 deb=$2 run
  run=(bash -c)
  if [[ $root != / ]]; then
    cp "$deb" "$root/tmp/"
    deb=/tmp/$(basename "$deb")
    run=(in_chroot "$root")
  fi
  "${run[@]}" "apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $deb &&
    cd / && te-run --probe 0x00 /usr/share/oemcom/oemcom.te && oemcom-boot --flash --probe 0x00;
    status=\$?
    DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq oemcom || exit 1
    for path in /usr/bin/te-run /usr/bin/oemcom-boot /usr/share/oemcom /usr/libexec/oemcom; do
      [[ ! -e \$path ]] || { echo \"ci: \$path left after apt-get remove\" >&2; exit 1; }
    done
    exit \$status"
  [[ $root == / ]] || rm -f "$root/tmp/$(basename "$deb")"
}
