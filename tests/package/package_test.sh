#!/usr/bin/env bash
# The Debian package as a training centre gets it: built from this build's
# configuration, unpacked into a temporary root, its layout checked, and every
# launcher and desktop entry started from there on the offscreen platform.
#   package_test.sh BUILD_DIR PROGRAM...   (the programs the build installs)
set -uo pipefail
build="$1"
shift
programs=("$@")
command -v dpkg-deb >/dev/null || { echo "dpkg-deb is missing: skipped"; exit 77; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
status=0
fail() {
  echo "FAIL: $*" >&2
  status=1
}

cpack --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 || {
  cat "$work/cpack.log" >&2
  exit 1
}
debs=("$work"/out/simulateur-pliage_*_amd64.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { echo "FAIL: no simulateur-pliage_VERSION_amd64.deb" >&2; exit 1; }
root="$work/root"
dpkg-deb -x "${debs[0]}" "$root"
dpkg-deb -f "${debs[0]}" Depends | grep -q 'libqt6sql6-psql' || fail "the Qt SQL drivers are not among the dependencies"

# ---- layout ----------------------------------------------------------------
lib="$root/usr/lib/simulateur-pliage"
launcher_of() {
  case $1 in
    main) echo simulateur-pliage ;;
    formateur) echo console-formateur ;;
    morvane_a1 | morvane_h | morvane_a2) echo editeur-coefficients ;;
    etalonnage) echo etalonnage-pliage ;;
    *) echo "?" ;;
  esac
}
expected_launchers=()
for p in "${programs[@]}"; do
  [ -x "$lib/$p" ] && [ ! -L "$lib/$p" ] || fail "program $p is not in /usr/lib/simulateur-pliage (install it to \${VBEND_PROGRAM_DIR})"
  l=$(launcher_of "$p")
  [ -e "$root/usr/bin/$l" ] || fail "$p has no launcher $l (add it to the launchers in packaging/CMakeLists.txt)"
  expected_launchers+=("$l")
done
[ "$(find "$root" -mindepth 1 -maxdepth 1)" = "$root/usr" ] || fail "files outside /usr"
for l in "$root"/usr/bin/*; do
  name=$(basename "$l")
  printf '%s\n' "${expected_launchers[@]}" | grep -qx "$name" || fail "usr/bin/$name starts no program of the package"
  [ "$(readlink -f "$l")" = "$(readlink -f "$lib/lanceur")" ] || fail "usr/bin/$name is not a link to the shared launcher"
  [ -f "$root/usr/share/man/man1/$name.1.gz" ] || fail "no manual page for $name"
done
[ -f "$root/usr/share/icons/hicolor/scalable/apps/simulateur-pliage.svg" ] || fail "no icon"
[ -f "$root/usr/share/doc/simulateur-pliage/copyright" ] || fail "no copyright file"
metainfo=("$root"/usr/share/metainfo/*.metainfo.xml)
[ -f "${metainfo[0]}" ] || fail "no AppStream metadata"
for desktop in $(sed -n 's:.*<launchable type="desktop-id">\(.*\)</launchable>.*:\1:p' "${metainfo[0]}"); do
  [ -f "$root/usr/share/applications/$desktop" ] || fail "the metadata names $desktop, which is not there"
done

# ---- the launchers, started from the unpacked root ------------------------
export PATH="$root/usr/bin:$PATH" QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work/xdg"
mkdir -m 700 "$XDG_RUNTIME_DIR"
unset SIMULATEUR_PLIAGE_DOSSIER DISPLAY WAYLAND_DISPLAY
home="$work/home"
mkdir "$home"
folder="$home/Simulateur de pliage"

# Each desktop entry, as the menu starts it, takes a picture of its window.
entries=0
for entry in "$root"/usr/share/applications/*.desktop; do
  name=$(basename "$entry" .desktop)
  entries=$((entries + 1))
  grep -qx 'Categories=Education;Engineering;' "$entry" || fail "$name: categories"
  grep -qx 'Icon=simulateur-pliage' "$entry" || fail "$name: icon"
  exec_line=$(sed -n 's/^Exec=//p' "$entry")
  picture="$work/$name.png"
  # shellcheck disable=SC2086  # the Exec line is split as the menu splits it
  HOME="$home" timeout 120 $exec_line --snapshot "$picture" >"$work/out.txt" 2>&1 || fail "$name: « $exec_line --snapshot » ended with $?: $(cat "$work/out.txt")"
  [ "$(head -c 8 "$picture" 2>/dev/null | od -An -tx1 | tr -d ' ')" = "89504e470d0a1a0a" ] || fail "$name: no picture"
done
[ "$entries" -eq $((${#programs[@]})) ] || fail "$entries desktop entries for ${#programs[@]} programs"
[ -d "$folder/data" ] && [ -d "$folder/poly" ] || fail "the working folder was not made with data/ and poly/"
[ -n "$(ls -A "$folder/data")" ] || fail "the simulator did not run in the working folder"

# Each launcher starts its own program, whose help names the command as it
# was typed; its manual page has every option the help lists.
for p in "${programs[@]}"; do
  l=$(launcher_of "$p")
  model="" about=""
  case $p in
    main) about="Simulateur de pliage en V" ;;
    formateur) about="Console du formateur" ;;
    etalonnage) about="Étalonnage du modèle" ;;
    morvane_*) model=$(echo "${p#morvane_}" | tr a-z A-Z) about="du modèle $model" ;;
  esac
  help=$(HOME="$home" "$l" $model --help 2>&1)
  usage=$(head -n 1 <<<"$help")
  [[ $usage == "Utilisation : $l${model:+ $model} "* ]] || fail "« $l $model --help » names another command: $usage"
  [[ $help == *"$about"* ]] || fail "« $l $model --help » does not start $p: $usage"
  page=$(gzip -dc "$root/usr/share/man/man1/$l.1.gz" | sed 's/\\-/-/g')
  for option in $(grep -oE -- '--[a-z][a-z-]*' <<<"$help" | sort -u); do
    grep -qE -- "(^|[^a-z-])$option([^a-z-]|\$)" <<<"$page" || fail "$option of $p is not in the manual page of $l"
  done
done

# Paths on a command line are taken in the folder it was typed in, not in
# the working folder the launcher changes to.
typed="$work/mesures"
mkdir "$typed"
echo dump >"$typed/script.txt"
(
  cd "$typed" || exit 1
  export HOME="$home"
  timeout 120 simulateur-pliage --script script.txt >simulateur.txt &&
    timeout 120 editeur-coefficients A1 --snapshot editeur.png &&
    timeout 120 console-formateur --csv journal.csv --report rapport.pdf &&
    timeout 120 console-formateur --snapshot console.png &&
    timeout 120 etalonnage-pliage --plan plan.csv --graine 3 --pdf plan.pdf
  echo $? >status.txt
  timeout 120 etalonnage-pliage --ajuster plan.csv 2>ajustement.txt
) >"$work/out.txt" 2>&1
[ "$(cat "$typed/status.txt")" = 0 ] || fail "launchers run in another folder: $(cat "$work/out.txt")"
for file in simulateur.txt editeur.png journal.csv rapport.pdf console.png plan.csv plan.pdf; do
  [ -s "$typed/$file" ] || fail "$file was not written where the command was typed"
  [ ! -e "$folder/$file" ] || fail "$file was written into the working folder"
done
# The plan has no measures yet: refused for them, once read.
grep -q "0 essai pour 21 termes" "$typed/ajustement.txt" ||
  fail "etalonnage-pliage --ajuster did not read the sheet where the command was typed: $(cat "$typed/ajustement.txt")"

# The folder named by SIMULATEUR_PLIAGE_DOSSIER instead of the home's; a
# folder that cannot be made, or an editor without its model, is refused.
other="$work/autre dossier"
HOME="$work/nohome" SIMULATEUR_PLIAGE_DOSSIER="$other" timeout 120 simulateur-pliage --snapshot "$work/other.png" >/dev/null 2>&1 ||
  fail "simulateur-pliage in SIMULATEUR_PLIAGE_DOSSIER ended with $?"
[ -n "$(ls -A "$other/data" 2>/dev/null)" ] && [ -d "$other/poly" ] && [ ! -e "$work/nohome" ] ||
  fail "SIMULATEUR_PLIAGE_DOSSIER was not the working folder"
touch "$work/fichier"
message=$(SIMULATEUR_PLIAGE_DOSSIER="$work/fichier/dossier" simulateur-pliage 2>&1)
[ $? -eq 1 ] && [[ $message == *"impossible à préparer"* ]] || fail "an unusable folder: $message"
for wrong in "" "A3"; do
  HOME="$home" editeur-coefficients $wrong >/dev/null 2>&1
  [ $? -eq 2 ] || fail "« editeur-coefficients $wrong » is not refused with status 2"
done

# Started by hand in a folder without data/ and poly/, the simulator reports
# and ends: no dialog waits for a click that a batch run cannot give.
mkdir "$work/vide"
message=$(cd "$work/vide" && timeout 60 "$lib/main" --snapshot "$work/vide.png" 2>&1)
code=$?
[ $code -eq 1 ] && [[ $message == *introuvable* ]] || fail "main --snapshot without its folders ended with $code: $message"

[ $status -eq 0 ] && echo "package: ${#programs[@]} programs, $entries desktop entries started from the unpacked package"
exit $status
