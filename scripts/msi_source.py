#!/usr/bin/env python3
"""Writes the WiX source of a Tunewell Windows Installer package, for wixl.

  msi_source.py --arch x64|x86 --version A.B.C.D --rows ROWS \
                --plugin64 DIR --plugin32 DIR --cli EXE [--upgrade-fix] > Tunewell.wxs

ROWS is what tunewell_registry_rows prints: the registration table that DllRegisterServer
writes, so that the package's Registry rows and the DLL's own registration cannot drift. Each
plug-in DIR holds Tunewell.dll and latchkey.dll (--plugin64 only for x64); wixl reads the
files relative to the folder it runs in. The DLL's version A.B.C.D installs as product version
A.B.(C*1000+D): Windows Installer compares only the first three fields. With --upgrade-fix it
prints instead the SQL that msibuild runs on wixl's package.
"""
import argparse
import sys
import uuid
from xml.sax.saxutils import quoteattr

# Fixed for ever: a new UpgradeCode would install a second product beside the first, and a
# component's GUID must stay with its files and keys from one version to the next.
UPGRADE_CODES = {"x64": "4F0B7C62-7A52-4D8E-9C41-2B8E5D1F6A30",
                 "x86": "9A3D2E51-6C14-4B7F-8E02-5D9C1A7B4E86"}
COMPONENT_NAMESPACE = uuid.UUID("6E2B9D14-3F87-4C5A-A1D0-7B4C8E2F9A13")

ROOTS = ("HKCR", "HKLM")


def installer_version(version):
    fields = [int(f) for f in version.split(".")]
    if len(fields) != 4 or fields[3] >= 1000 or any(f < 0 for f in fields):
        sys.exit(f"msi_source.py: version {version} is not A.B.C.D with D below 1000")
    return f"{fields[0]}.{fields[1]}.{fields[2] * 1000 + fields[3]}"


def read_rows(path):
    rows = []
    with open(path, encoding="ascii") as f:
        for line in f:
            fields = line.rstrip("\n").split("\t")
            if fields[0] == "owns":
                continue
            if len(fields) != 5 or fields[0] not in ROOTS or fields[3] not in ("REG_SZ", "REG_DWORD"):
                sys.exit(f"msi_source.py: unexpected row {line!r} in {path}")
            rows.append(fields)
    if not rows:
        sys.exit(f"msi_source.py: no registration rows in {path}")
    return rows


def guid(arch, name):
    return str(uuid.uuid5(COMPONENT_NAMESPACE, f"{arch}/{name}")).upper()


def plugin_components(arch, bits, folder, rows):
    """Tunewell.dll with its registration, and latchkey.dll beside it, for one player."""
    win64 = "yes" if bits == 64 else "no"
    dll_id = f"Tunewell{bits}"
    out = [f'<Component Id="{dll_id}" Guid="{guid(arch, dll_id)}" Win64="{win64}">',
           f'  <File Id="{dll_id}" Name="Tunewell.dll" KeyPath="yes" '
           f'Source={quoteattr(folder + "/Tunewell.dll")}/>']
    for root, key, name, kind, value in rows:
        # The formatted [#file] is the installed file's full path, as the DLL's own registration
        # writes its module path; a literal '[' is written [\[].
        if kind == "REG_SZ":
            text = "".join("[\\" + c + "]" if c in "[]" else c for c in value)
            text = text.replace("[\\[]ModulePath[\\]]", f"[#{dll_id}]")
            text = text.replace("[\\[]ModuleFile[\\]]", "Tunewell.dll")
            # A leading '#' would make the value a number.
            if text.startswith("#"):
                text = "#" + text
        else:
            # The Registry table reads a number as a signed 32-bit one.
            number = int(value)
            text = str(number - (1 << 32) if number >= 1 << 31 else number)
        name_attr = f" Name={quoteattr(name)}" if name else ""
        kind_attr = "integer" if kind == "REG_DWORD" else "string"
        out.append(f'  <RegistryValue Root="{root}" Key={quoteattr(key)}{name_attr} '
                   f'Type="{kind_attr}" Value={quoteattr(text)}/>')
    out.append("</Component>")
    hook_id = f"Latchkey{bits}"
    out += [f'<Component Id="{hook_id}" Guid="{guid(arch, hook_id)}" Win64="{win64}">',
            f'  <File Id="{hook_id}" Name="latchkey.dll" KeyPath="yes" '
            f'Source={quoteattr(folder + "/latchkey.dll")}/>',
            "</Component>"]
    return out, [dll_id, hook_id]


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--arch", choices=["x64", "x86"], required=True)
    p.add_argument("--version", required=True)
    p.add_argument("--rows", required=True)
    p.add_argument("--plugin64")
    p.add_argument("--plugin32", required=True)
    p.add_argument("--cli", required=True)
    p.add_argument("--upgrade-fix", action="store_true",
                   help="print the SQL that msibuild runs on wixl's package instead")
    a = p.parse_args()
    if (a.arch == "x64") != (a.plugin64 is not None):
        sys.exit("msi_source.py: --plugin64 goes with --arch x64, and only with it")
    rows = read_rows(a.rows)
    version = installer_version(a.version)
    x64 = a.arch == "x64"
    upgrade = UPGRADE_CODES[a.arch]
    if a.upgrade_fix:
        # wixl drops IncludeMaximum (so WiX's AllowSameVersionUpgrades cannot be had): the row
        # that replaces earlier versions must take this one too, or a package of the same
        # version built again would install beside it. Attributes is part of the key: the row
        # is replaced, with VersionMinInclusive (256) and VersionMaxInclusive (512).
        print("DELETE FROM `Upgrade` WHERE `ActionProperty` = 'TUNEWELL_REPLACED'")
        print("INSERT INTO `Upgrade` (`UpgradeCode`, `VersionMin`, `VersionMax`, `Attributes`, "
              f"`ActionProperty`) VALUES ('{{{upgrade}}}', '0.0.0', '{version}', 768, "
              "'TUNEWELL_REPLACED')")
        return

    folders = []  # (directory id, program files folder, component lines)
    refs = []
    lines32, ids32 = plugin_components(a.arch, 32, a.plugin32, rows)
    refs += ids32
    cli = [f'<Component Id="CommandLine" Guid="{guid(a.arch, "CommandLine")}" '
           f'Win64="{"yes" if x64 else "no"}">',
           f'  <File Id="CommandLine" Name="tunewell.exe" KeyPath="yes" Source={quoteattr(a.cli)}/>',
           "</Component>"]
    refs.append("CommandLine")
    if x64:
        lines64, ids64 = plugin_components(a.arch, 64, a.plugin64, rows)
        refs += ids64
        folders.append(("INSTALLDIR64", "ProgramFiles64Folder", lines64 + cli))
        folders.append(("INSTALLDIR32", "ProgramFilesFolder", lines32))
    else:
        folders.append(("INSTALLDIR32", "ProgramFilesFolder", lines32 + cli))

    out = ['<?xml version="1.0" encoding="utf-8"?>',
           '<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">',
           f'<Product Id="*" Name="Tunewell" Language="1033" Version="{version}" '
           f'Manufacturer="Tunewell" UpgradeCode="{upgrade}">',
           f'<Package InstallerVersion="{200 if x64 else 110}" Compressed="yes" '
           'InstallScope="perMachine" Description="Tunewell: sync MP3s onto an iPod from '
           'Windows Media Player" Comments="Tunewell ' + a.version + '"/>',
           '<Media Id="1" Cabinet="tunewell.cab" EmbedCab="yes"/>',
           # Upgrades replace any earlier version and, after --upgrade-fix, the same one; a
           # newer one already there refuses this one.
           f'<Upgrade Id="{upgrade}">',
           f'  <UpgradeVersion Minimum="0.0.0" Maximum="{version}" IncludeMinimum="yes" '
           'IncludeMaximum="yes" Property="TUNEWELL_REPLACED"/>',
           f'  <UpgradeVersion Minimum="{version}" IncludeMinimum="no" OnlyDetect="yes" '
           'Property="TUNEWELL_NEWER"/>',
           '</Upgrade>',
           '<Condition Message="A newer version of Tunewell is already installed.">'
           'NOT TUNEWELL_NEWER</Condition>',
           '<InstallExecuteSequence>',
           '  <RemoveExistingProducts After="InstallValidate"/>',
           '</InstallExecuteSequence>',
           '<Directory Id="TARGETDIR" Name="SourceDir">']
    for directory, parent, components in folders:
        out.append(f'  <Directory Id="{parent}">')
        out.append(f'    <Directory Id="{directory}" Name="Tunewell">')
        out += ["      " + line for line in components]
        out.append("    </Directory>")
        out.append("  </Directory>")
    out.append("</Directory>")
    out.append('<Feature Id="Tunewell" Level="1">')
    out += [f'  <ComponentRef Id="{ref}"/>' for ref in refs]
    out += ["</Feature>", "</Product>", "</Wix>"]
    sys.stdout.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main()
