#!/usr/bin/env bash
# The bash completion for solvane, driven as bash drives it: each case is a command line with
# the cursor at its end and the words the completion must offer (or a file it must offer).
set -uo pipefail
completion=$1
source /usr/share/bash-completion/bash_completion
source "$completion"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
mkdir lists out
touch lists/Solvane.txt lists/notes.pdf DB_241105.dbh other.bin cameras.gpx area.geojson

failures=0
complete_line() {  # prints the candidates for the line, one per line, sorted
  local line=$1
  read -ra COMP_WORDS <<<"$line"
  [[ $line == *" " ]] && COMP_WORDS+=("")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMP_LINE=$line
  COMP_POINT=${#line}
  COMPREPLY=()
  _solvane solvane "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
  printf '%s\n' "${COMPREPLY[@]}" | sort
}
expect() {  # expect LINE WORD... : exactly these candidates
  local line=$1; shift
  local got want
  got=$(complete_line "$line")
  want=$(printf '%s\n' "$@" | sort)
  if [[ $got != "$want" ]]; then
    echo "FAIL: '$line'"; echo "  want: $(echo $want)"; echo "  got:  $(echo $got)"
    failures=$((failures + 1))
  fi
}

expect "solvane " check convert diff dump import inspect --help --version
expect "solvane con" convert
expect "solvane convert --" --normal --autodoria --output-dir --date --seed --help
expect "solvane check --f" --format
expect "solvane check --format " text json geojson
expect "solvane check --n" --near --normal
expect "solvane check --near " 
expect "solvane dump x.dbh --format " csv geojson
expect "solvane dump x.dbh -" --format -o --output --help
expect "solvane convert --normal lists/" lists/Solvane.txt
expect "solvane convert --output-dir " lists out
expect "solvane inspect " DB_241105.dbh lists out
expect "solvane import --f" --format
expect "solvane import --format " csv gpx kml geojson osm pbf
expect "solvane import --within " area.geojson lists out
expect "solvane import " area.geojson cameras.gpx lists out
expect "solvane import x.gpx --m" --merge
expect "solvane import x.gpx --merge " 
expect "solvane di" diff
expect "solvane diff -" --old --new --near --format -o --output --help
expect "solvane diff --format " text csv json geojson
expect "solvane diff --old " DB_241105.dbh area.geojson cameras.gpx lists out
expect "solvane diff --old DB_241105.dbh lists/" lists/Solvane.txt
expect "solvane convert --date " 

if ((failures)); then echo "$failures completion case(s) failed"; exit 1; fi
echo "every completion case passed"
