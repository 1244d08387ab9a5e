#!/usr/bin/env bash
# Refreshes apt's package lists. A mirror that is being synchronised answers with lists
# of the wrong size for a while; the lists that did arrive are enough to install from, so
# a refresh that keeps failing is reported and not fatal (the install that follows says
# plainly if a package cannot be had).
set -uo pipefail
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
for try in 1 2 3; do
  $SUDO apt-get update -qq && exit 0
  echo "apt-update: refreshing the package lists failed (try $try of 3)" >&2
  sleep $((try * 5))
done
echo "apt-update: going on with the package lists that arrived" >&2
exit 0
