#!/usr/bin/env bash
# Builds the MSI package from the programs of a build (Debian's wixl and
# msibuild, packages wixl and msitools):
#   bash build-msi.sh VERSION PRINTER_EXE AGENT_EXE ACTIONS_DLL ICON OUT.msi
set -eu
[ $# -eq 6 ] || { echo "usage: $0 VERSION PRINTER_EXE AGENT_EXE ACTIONS_DLL ICON OUT.msi" >&2; exit 2; }
version=$1 printer=$2 agent=$3 actions=$4 icon=$5 out=$6
here="$(cd "$(dirname "$0")" && pwd)"
upgrade_code=9CF5EE10-544C-4B38-9B53-70595769695C

# One product code per version: the same package installed twice is then the
# same product, not a second entry in the list of installed programs.
product_code=$(python3 -c 'import sys, uuid; print(str(uuid.uuid5(uuid.UUID(sys.argv[1]), sys.argv[2])).upper())' \
                       "$upgrade_code" "$version")

out="$(cd "$(dirname "$out")" && pwd)/$(basename "$out")"
tmp="$out.tmp"
rm -f "$tmp"
# wixl finds sources by names relative to the current folder only.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$printer" "$work/orvo_Printer.exe"
cp "$agent" "$work/Agent.exe"
cp "$actions" "$work/orvo_msi_actions.dll"
cp "$icon" "$work/orvo_Printer.ico"
(cd "$work" && wixl -a x86 -o "$tmp" -D Version="$version" -D ProductCode="$product_code" "$here/orvo.wxs")

# wixl leaves the string table without a code page, and crashes on any text
# outside ASCII. Give the database code page 936, then put the Chinese texts in.
printf '\r\n\r\n936\t_ForceCodepage\r\n' >"$work/_ForceCodepage.idt"
msibuild "$tmp" -i "$work/_ForceCodepage.idt"
msibuild "$tmp" -q "UPDATE \`Registry\` SET \`Value\` = 'URL:orvo 报表打印' WHERE \`Value\` = '@SCHEME_DESCRIPTION@'"
msibuild "$tmp" -q "UPDATE \`LaunchCondition\` SET \`Description\` = '已安装更新版本的 orvo_Printer，不能再安装此旧版本（$version）。如需旧版本，请先卸载现有版本。' WHERE \`Description\` = '@DOWNGRADE_MESSAGE@'"
# Public properties pass to the elevated part of an install only when secure.
msibuild "$tmp" -q "UPDATE \`Property\` SET \`Value\` = 'TRUSTEDSERVERS;INSTALLDIR;WIX_DOWNGRADE_DETECTED;WIX_UPGRADE_DETECTED' WHERE \`Property\` = 'SecureCustomProperties'"
if msiinfo export "$tmp" Registry | grep -q '@[A-Z_]*@' || msiinfo export "$tmp" LaunchCondition | grep -q '@[A-Z_]*@'; then
    echo "build-msi: a text was left unfilled" >&2
    exit 1
fi
mv -f "$tmp" "$out"
