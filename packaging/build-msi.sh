#!/usr/bin/env bash
# Builds the per-user Windows Installer package of the assistant from
# packaging/QmxAssistant.wxs with wixl (Debian's msitools).
#
#   packaging/build-msi.sh VERSION EXE CLOSE_DLL ICON OUT.msi [ARCH]
#
# VERSION is x.y.z. ARCH is x86 (the default: the package that ships, around
# the 32-bit exe) or x64 (a package of the x86-64 tree, for its tests on a
# machine that runs 64-bit code only; its custom action is 64-bit too). wixl takes no absolute paths for files and cannot write
# some rows the package needs, so the inputs are staged in a scratch folder
# and those rows are added afterwards with msibuild:
#   - the exe's file version (wixl leaves it empty; an unversioned file in the
#     package would never replace the versioned exe of an older release), and
#     no MsiFileHash row for it (hashes are for unversioned files only);
#   - an upgrade that also replaces a package of the same version (each
#     build has a ProductCode of its own; wixl drops IncludeMaximum);
#   - the older package removed after the new one's files and components are
#     in place (InstallExecute), so that what both share stays, and before
#     the new one registers its UpgradeCode (RegisterProduct, PublishProduct):
#     Wine's removal of a product drops the whole UpgradeCode registration,
#     and a later newer or older package would no longer find this one;
#   - START_ASSISTANT among the secure properties (wixl has no Secure=), so
#     that it also reaches an install that runs elevated (Group Policy);
#   - what a real removal takes away besides the installed files: the files
#     the assistant writes at run time (the settings file beside the exe, the
#     downloaded installer), then the folders when they are empty, innermost
#     first (wixl's RemoveFolder knows only a component's own folder and
#     there is no RemoveFile element).
# OUT is replaced only when every step succeeded.
set -euo pipefail

[ $# -eq 5 ] || [ $# -eq 6 ] || { echo "usage: $0 VERSION EXE CLOSE_DLL ICON OUT.msi [ARCH]" >&2; exit 2; }
version=$1 exe=$2 dll=$3 icon=$4 out=$5 arch=${6:-x86}
[[ $arch =~ ^(x86|x64)$ ]] || { echo "build-msi: ARCH must be x86 or x64: $arch" >&2; exit 2; }
[[ $version =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || { echo "build-msi: version must be x.y.z: $version" >&2; exit 2; }
for f in "$exe" "$dll" "$icon"; do
  [ -f "$f" ] || { echo "build-msi: no such file: $f" >&2; exit 2; }
done
for t in wixl msibuild; do
  command -v $t >/dev/null || { echo "build-msi: $t missing (tools/install-deps.sh)" >&2; exit 2; }
done

here=$(cd "$(dirname "$0")" && pwd)
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cp "$here/QmxAssistant.wxs" "$stage/"
cp "$exe" "$stage/QmxAssistant.exe"
cp "$dll" "$stage/qmxmsi.dll"
cp "$icon" "$stage/QmxAssistant.ico"

cd "$stage"
wixl -a "$arch" -D Version="$version" -D Exe=QmxAssistant.exe -D CloseDll=qmxmsi.dll -D Icon=QmxAssistant.ico \
     -o package.msi QmxAssistant.wxs >/dev/null

code=$(sed -n 's/^<?define UpgradeCode = "\([^"]*\)".*/\1/p' QmxAssistant.wxs)
[ -n "$code" ] || { echo "build-msi: no UpgradeCode in QmxAssistant.wxs" >&2; exit 2; }
sequence() { # action number
  echo "UPDATE \`InstallExecuteSequence\` SET \`Sequence\` = $2 WHERE \`Action\` = '$1'"
}
remove_file() { # key folder-property [file-name]; no name: the folder, when empty
  local cols="\`FileKey\`, \`Component_\`, \`DirProperty\`, \`InstallMode\`" vals="'$1', 'StartAtLogon', '$2', 2"
  [ $# -lt 3 ] || { cols+=", \`FileName\`"; vals+=", '$3'"; }
  echo "INSERT INTO \`RemoveFile\` ($cols) VALUES ($vals)"
}
msibuild package.msi \
  -q "UPDATE \`File\` SET \`Version\` = '$version.0' WHERE \`File\` = 'QmxAssistantExe'" \
  -q "DELETE FROM \`MsiFileHash\` WHERE \`File_\` = 'QmxAssistantExe'" \
  -q "$(sequence InstallExecute 6410)" -q "$(sequence RemoveExistingProducts 6420)" \
  -q "$(sequence RegisterProduct 6430)" -q "$(sequence PublishProduct 6440)" \
  -q "DELETE FROM \`Upgrade\` WHERE \`ActionProperty\` = 'QMX_OLDER_FOUND'" \
  -q "INSERT INTO \`Upgrade\` (\`UpgradeCode\`, \`VersionMin\`, \`VersionMax\`, \`Attributes\`, \`ActionProperty\`) VALUES ('$code', '0.0.0', '$version', 768, 'QMX_OLDER_FOUND')" \
  -q "UPDATE \`Property\` SET \`Value\` = 'QMX_OLDER_FOUND;QMX_NEWER_FOUND;START_ASSISTANT' WHERE \`Property\` = 'SecureCustomProperties'" \
  -q "$(remove_file Remove1Settings INSTALLDIR QmxAssistant.ini)" \
  -q "$(remove_file Remove2Download WorkTempFolder setup.exe)" \
  -q "$(remove_file Remove3InstallDir INSTALLDIR)" \
  -q "$(remove_file Remove4Valdry ValdryFolder)" \
  -q "$(remove_file Remove5Programs ProgramsFolder)" \
  -q "$(remove_file Remove6WorkTemp WorkTempFolder)" \
  -q "$(remove_file Remove7Work WorkFolder)"

cd - >/dev/null
mkdir -p "$(dirname "$out")"
cp "$stage/package.msi" "$out.tmp.$$"
mv -f "$out.tmp.$$" "$out"
echo "build-msi: $out"
