#!/bin/sh
# Usage: vxar-help.sh VXAR --help
# vxar's whole help for help2man: the overview, then each command's help under a heading of its
# own ("vxar create:"), with its usage line indented so that it is set as a tagged paragraph.
set -e
vxar=$1
[ "${2:-}" = --help ] || { echo "usage: $0 VXAR --help" >&2; exit 2; }
"$vxar" --help | sed '1s/^usage:/Usage:/'
for command in create list test extract; do
  echo
  "$vxar" "$command" --help | sed "1s/^usage: \(.*\)\$/vxar $command:\n  \1\n/"
done
