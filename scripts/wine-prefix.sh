#!/usr/bin/env bash
# Creates (or reuses) the private Wine prefix the Windows tests run in, so that every test starts from the
# same state:
#   scripts/wine-prefix.sh PREFIX
# The prefix is made again whenever this script changes. Needs a display (DISPLAY) for wineboot.
set -euo pipefail
prefix=${1:?usage: wine-prefix.sh PREFIX}
here=$(cd "$(dirname "$0")" && pwd)
stamp=$(sha1sum "$here/wine-prefix.sh" | cut -c1-16)
[ -f "$prefix/.lumivue-prefix" ] && [ "$(cat "$prefix/.lumivue-prefix")" = "$stamp" ] && exit 0

mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9
# Another run may have made it while this one waited.
[ -f "$prefix/.lumivue-prefix" ] && [ "$(cat "$prefix/.lumivue-prefix")" = "$stamp" ] && exit 0

source "$here/wine-env.sh"
export WINEPREFIX=$prefix
"$WINESERVER" -k 2>/dev/null || true
rm -rf "$prefix"
echo "wine-prefix: creating $prefix" >&2
"$WINE" wineboot --init >/dev/null 2>&1
"$WINESERVER" -w

# Debian's Wine finds no Windows fonts by itself: without these every face falls back and captions draw
# as boxes.
mkdir -p "$prefix/drive_c/windows/Fonts"
cp /usr/share/wine/fonts/* "$prefix/drive_c/windows/Fonts/"

# A printer on the FILE: port with Wine's PostScript driver, the default one, so that printing can be tested
# to a file. The driver needs a PPD description of the printer.
ppd_dir="$prefix/drive_c/windows/system32/spool/drivers/x64/3"
mkdir -p "$ppd_dir"
cat >"$ppd_dir/lumivue.ppd" <<'PPD'
*PPD-Adobe: "4.3"
*FormatVersion: "4.3"
*FileVersion: "1.0"
*LanguageVersion: English
*LanguageEncoding: ISOLatin1
*PCFileName: "LUMIVUE.PPD"
*Manufacturer: "Postscript"
*ModelName: "Generic postscript printer"
*ShortNickName: "Generic postscript printer"
*NickName: "Generic postscript printer"
*PSVersion: "(3010.000) 550"
*LanguageLevel: "3"
*ColorDevice: True
*DefaultColorSpace: RGB
*OpenUI *PageSize/Media Size: PickOne
*DefaultPageSize: A4
*PageSize A4/A4: "<</PageSize[595 842]/ImagingBBox null>>setpagedevice"
*CloseUI: *PageSize
*DefaultImageableArea: A4
*ImageableArea A4/A4: "18 18 577 824"
*DefaultPaperDimension: A4
*PaperDimension A4/A4: "595 842"
*DefaultResolution: 300dpi
PPD

# With no window manager on the virtual display, windows get frames, positions and the maximised state only
# when Wine handles them itself.
# 96 dots per inch, as the tests' metafile sizes assume. A crashing test program ends at once instead of
# waiting in the debugger.
reg=$(mktemp --suffix=.reg)
cat >"$reg" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Decorated"="N"
"Managed"="N"

[HKEY_CURRENT_USER\Control Panel\Desktop]
"LogPixels"=dword:00000060

[HKEY_CURRENT_CONFIG\Software\Fonts]
"LogPixels"=dword:00000060

[HKEY_LOCAL_MACHINE\System\CurrentControlSet\Control\Print\Environments\Windows x64\Drivers\Version-3\Wine PostScript Driver]
"Configuration File"="wineps.drv"
"Data File"="lumivue.ppd"
"Driver"="wineps.drv"
"Version"=dword:00000003

[HKEY_LOCAL_MACHINE\System\CurrentControlSet\Control\Print\Printers\Lumivue Test Printer]
"Name"="Lumivue Test Printer"
"Port"="FILE:"
"Printer Driver"="Wine PostScript Driver"
"Print Processor"="WinPrint"
"Datatype"="RAW"
"Attributes"=dword:00000040

[HKEY_CURRENT_USER\Software\Microsoft\Windows NT\CurrentVersion\Devices]
"Lumivue Test Printer"="wineps.drv,FILE:"

[HKEY_CURRENT_USER\Software\Microsoft\Windows NT\CurrentVersion\PrinterPorts]
"Lumivue Test Printer"="wineps.drv,FILE:,15,45"

[HKEY_CURRENT_USER\Software\Microsoft\Windows NT\CurrentVersion\Windows]
"device"="Lumivue Test Printer,wineps.drv,FILE:"

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\AeDebug]
"Debugger"=-
"Auto"="0"
REG
"$WINE" regedit /S "$(winepath_of "$reg")" >/dev/null 2>&1
rm -f "$reg"
# Registry changes reach the files only when the server exits.
"$WINESERVER" -w
echo "$stamp" >"$prefix/.lumivue-prefix"
