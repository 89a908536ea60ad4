#!/usr/bin/env python3
"""Checks a release zip: the 32-bit program that needs only Windows' own DLLs and carries the release's
version, the help file as a compiled HTML help file with its start page, the README as text with Windows line
ends, and a licence notice for every library linked in.
    scripts/check-package.py dist/Lumivue-<version>-win32.zip VERSION-FILE"""
import struct
import subprocess
import sys
import tempfile
import zipfile

# DLLs every Windows installation has.
SYSTEM_DLLS = {
    "advapi32.dll", "comctl32.dll", "comdlg32.dll", "gdi32.dll", "kernel32.dll", "msvcrt.dll", "ole32.dll",
    "oleaut32.dll", "shell32.dll", "shlwapi.dll", "user32.dll", "winspool.drv", "wininet.dll", "version.dll",
    "hhctrl.ocx", "uxtheme.dll", "ws2_32.dll", "mapi32.dll", "msimg32.dll", "winmm.dll", "crypt32.dll",
    "imm32.dll", "uuid.dll", "shcore.dll", "dwmapi.dll",
}
LICENCES = ["libjpeg-turbo.txt", "libpng.txt", "libtiff.txt", "zlib.txt"]


def fail(text):
    print("check-package: " + text, file=sys.stderr)
    sys.exit(1)


def check_exe(data, version):
    if data[:2] != b"MZ":
        fail("Lumivue.exe is not a Windows program")
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        fail("Lumivue.exe has no PE header")
    machine = struct.unpack_from("<H", data, pe + 4)[0]
    if machine != 0x14C:
        fail("Lumivue.exe is not a 32-bit x86 program (machine 0x%x)" % machine)
    # The version resource's texts are UTF-16 with a closing NUL.
    if b"P\0r\0o\0d\0u\0c\0t\0V\0e\0r\0s\0i\0o\0n\0" not in data or \
            version.encode("utf-16-le") + b"\0\0" not in data:
        fail("Lumivue.exe does not carry version %s in its version resource" % version)
    with tempfile.NamedTemporaryFile(suffix=".exe") as f:
        f.write(data)
        f.flush()
        dump = subprocess.run(["i686-w64-mingw32-objdump", "-p", f.name], capture_output=True, text=True,
                              check=True).stdout
    dlls = {line.split("DLL Name:")[1].strip().lower() for line in dump.splitlines() if "DLL Name:" in line}
    if not dlls:
        fail("Lumivue.exe imports nothing?")
    foreign = sorted(dlls - SYSTEM_DLLS)
    if foreign:
        fail("Lumivue.exe needs DLLs that are not part of Windows: " + ", ".join(foreign))


def check_chm(data):
    if data[:4] != b"ITSF" or struct.unpack_from("<I", data, 4)[0] != 3:
        fail("Lumivue.chm is not a compiled HTML help file")
    if b"/default.htm" not in data:
        fail("Lumivue.chm has no start page default.htm")


def main():
    if len(sys.argv) != 3:
        fail("usage: check-package.py ZIP VERSION-FILE")
    version = open(sys.argv[2]).readline().strip()
    top = "Lumivue-%s-win32/" % version
    with zipfile.ZipFile(sys.argv[1]) as z:
        names = set(z.namelist())
        want = {top + "Lumivue.exe", top + "Lumivue.chm", top + "README.txt"}
        want |= {top + "licences/" + n for n in LICENCES}
        missing = sorted(want - names)
        if missing:
            fail("missing from the zip: " + ", ".join(missing))
        if z.testzip() is not None:
            fail("the zip is damaged")
        check_exe(z.read(top + "Lumivue.exe"), version)
        check_chm(z.read(top + "Lumivue.chm"))
        readme = z.read(top + "README.txt")
        if b"\r\n" not in readme or b"\n" in readme.replace(b"\r\n", b""):
            fail("README.txt does not have Windows line ends")
        for n in LICENCES:
            if len(z.read(top + "licences/" + n)) < 200:
                fail("licence notice %s is too short to be one" % n)
    print("check-package: %s is complete" % sys.argv[1])


main()
