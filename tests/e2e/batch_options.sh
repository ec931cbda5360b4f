#!/usr/bin/env bash
# Every documented batch option of every program, run where there is no
# display at all: each ends, with its status, and opens no window (a window
# would find no display, or wait for a click that never comes).
#   batch_options.sh MAIN EDITOR_A1 EDITOR_H EDITOR_A2 FORMATEUR ETALONNAGE
set -uo pipefail
main=$1 a1=$2 h=$3 a2=$4 console=$5 calibration=$6
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" && mkdir data poly
unset QT_QPA_PLATFORM DISPLAY WAYLAND_DISPLAY
export XDG_RUNTIME_DIR="$work/xdg"
mkdir -m 700 "$XDG_RUNTIME_DIR"
nowhere=postgresql://nobody@127.0.0.1:1/pliage  # nothing listens on port 1
echo dump >script.txt
status=0

# expect STATUS [FILE] -- PROGRAM ARGUMENT...: FILE is what the run writes.
expect() {
  local want=$1 file=
  shift
  [ "$1" != -- ] && file=$1 && shift
  shift
  timeout 60 "$@" >out.txt 2>err.txt
  local got=$?
  if [ $got -ne "$want" ]; then
    echo "FAIL: « $* » ended with $got, not $want: $(head -c 600 err.txt)" >&2
    status=1
  elif [ -n "$file" ] && [ ! -s "$file" ]; then
    echo "FAIL: « $* » wrote no $file" >&2
    status=1
  fi
}

for program in "$main" "$a1" "$h" "$a2"; do
  expect 0 -- "$program" --help
  expect 0 "$(basename "$program").png" -- "$program" --snapshot "$(basename "$program").png"
  expect 0 -- "$program" --script script.txt
  expect 2 -- "$program" --inconnue
done

expect 0 -- "$console" --help
expect 0 rapport.pdf -- "$console" --report rapport.pdf
expect 0 journal.csv -- "$console" --csv journal.csv
expect 0 tableur.csv -- "$console" --csv-fr tableur.csv
expect 0 -- "$console" --optimum
expect 0 console.png -- "$console" --snapshot console.png --taille 1024x768 --onglet Modèle
expect 1 -- "$console" --init-classe "$nowhere"
printf "P1\nP2\n" >postes.txt
expect 1 -- "$console" --postes postes.txt --serveur "$nowhere"
expect 1 -- "$console" --ajouter-poste poste-1 --serveur "$nowhere"
expect 1 -- "$console" --classe --serveur "$nowhere" --report classe.pdf
expect 1 -- "$console" --classe --serveur "$nowhere" --csv classe.csv
expect 1 -- "$console" --classe --serveur "$nowhere" --csv-fr classe-fr.csv
expect 0 classe.png -- "$console" --classe --serveur "$nowhere" --snapshot classe.png
expect 2 -- "$console" --script script.txt

expect 0 -- "$calibration" --help
expect 0 plan.csv -- "$calibration" --plan plan.csv --centres 3 --graine 7 --pdf plan.pdf
expect 1 -- "$calibration" --ajuster plan.csv --json --rapport ajustement.pdf --enregistrer  # nothing measured yet
expect 0 etalonnage.png -- "$calibration" --snapshot etalonnage.png
expect 2 -- "$calibration" --script script.txt

# As a launcher starts them, in the working folder: the paths are taken in the
# folder the command was typed in, and the usage line names what was typed.
typed=$work/typed
mkdir "$typed" && echo dump >"$typed/tapé.txt"
launched=(env SIMULATEUR_PLIAGE_APPEL="$typed" SIMULATEUR_PLIAGE_COMMANDE="lanceur X")
expect 0 -- "${launched[@]}" "$console" --report rapport.pdf --csv journal.csv --csv-fr tableur.csv
expect 0 -- "${launched[@]}" "$console" --snapshot console.png
expect 0 -- "${launched[@]}" "$calibration" --plan plan.csv --pdf plan.pdf --graine 7
expect 0 -- "${launched[@]}" "$calibration" --snapshot etalonnage.png
for program in "$main" "$a1"; do
  expect 0 -- "${launched[@]}" "$program" --script tapé.txt
  expect 0 -- "${launched[@]}" "$program" --snapshot "$(basename "$program").png"
done
for file in rapport.pdf journal.csv tableur.csv console.png plan.csv plan.pdf etalonnage.png main.png morvane_a1.png; do
  [ -s "$typed/$file" ] || { echo "FAIL: no $file in the folder the command was typed in" >&2; status=1; }
done
for program in "$main" "$console" "$calibration"; do
  usage=$("${launched[@]}" "$program" --help | head -1)
  [[ $usage == "Utilisation : lanceur X "* ]] || { echo "FAIL: usage line « $usage »" >&2; status=1; }
done

exit $status
