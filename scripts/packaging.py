#!/usr/bin/python3
"""Writes the package managers' manifests for a release, with the zips' SHA-256, under OUT:
winget/ (a multi-file manifest: portable exe in a zip), scoop/tarnwick.json and chocolatey/ (a .nuspec
with tools/chocolateyInstall.ps1 and tools/chocolateyBeforeModify.ps1).

Usage: packaging.py --version 1.0.0 --url-base URL --out DIR --zip32 FILE --zip64 FILE
The zips are downloaded from URL/<zip name>; each holds <zip name without .zip>/Tarnwick.exe.
"""
import argparse
import hashlib
import json
import os

PUBLISHER = "Velm"
SUMMARY = "Finds and ends lingering processes of the Vex middleware suite."
WINGET_SCHEMA = "1.9.0"
WINGET_ID = "Velm.Tarnwick"


def sha256(path):
    with open(path, "rb") as data:
        return hashlib.sha256(data.read()).hexdigest()


def write(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", encoding="utf-8", newline="\n") as out:
        out.write(text)


def winget(out, version, zips):
    head = f"PackageIdentifier: {WINGET_ID}\nPackageVersion: {version}\n"
    tail = f"ManifestVersion: {WINGET_SCHEMA}\n"
    schema = f"# yaml-language-server: $schema=https://aka.ms/winget-manifest.{{}}.{WINGET_SCHEMA}.schema.json\n"
    write(f"{out}/{WINGET_ID}.yaml",
          schema.format("version") + head + "DefaultLocale: en-US\nManifestType: version\n" + tail)
    installers = ""
    # Machine scope first: installed under Program Files, which passes an elevated Tarnwick's trust check.
    # User scope is for use without elevation.
    for scope in ("machine", "user"):
        for arch, (url, digest, folder) in zips.items():
            installers += (f"- Architecture: {arch}\n  Scope: {scope}\n  InstallerUrl: {url}\n"
                           f"  InstallerSha256: {digest.upper()}\n"
                           f"  NestedInstallerFiles:\n  - RelativeFilePath: {folder}\\Tarnwick.exe\n"
                           f"    PortableCommandAlias: tarnwick\n")
    write(f"{out}/{WINGET_ID}.installer.yaml",
          schema.format("installer") + head + "InstallerType: zip\nNestedInstallerType: portable\n"
          "Installers:\n" + installers + "ManifestType: installer\n" + tail)
    write(f"{out}/{WINGET_ID}.locale.en-US.yaml",
          schema.format("defaultLocale") + head + f"PackageLocale: en-US\nPublisher: {PUBLISHER}\n"
          f"PackageName: Tarnwick\nLicense: MIT\nShortDescription: {SUMMARY}\n"
          "Moniker: tarnwick\nManifestType: defaultLocale\n" + tail)


def scoop(out, version, url_base, zips):
    bits = {"x86": "32bit", "x64": "64bit"}
    suffix = {"x86": "", "x64": "-x64"}
    manifest = {
        "version": version,
        "description": SUMMARY,
        "homepage": url_base,
        "license": "MIT",
        "architecture": {bits[a]: {"url": url, "hash": digest, "extract_dir": folder}
                         for a, (url, digest, folder) in zips.items()},
        "bin": "Tarnwick.exe",
        # Scoop makes a folder, not a file, for a persisted file that does not exist yet.
        "pre_install": 'if (!(Test-Path "$persist_dir\\Tarnwick.ini")) { New-Item "$dir\\Tarnwick.ini" -ItemType File | Out-Null }',
        "persist": "Tarnwick.ini",
        "checkver": {"url": f"{url_base}/", "regex": r"Tarnwick-([\d.]+)\.zip"},
        "autoupdate": {"architecture": {bits[a]: {"url": f"{url_base}/Tarnwick-$version{suffix[a]}.zip",
                                                  "extract_dir": f"Tarnwick-$version{suffix[a]}"}
                                        for a in zips}},
    }
    write(f"{out}/tarnwick.json", json.dumps(manifest, indent=2) + "\n")


# The list lives beside the exe, in a folder named after the version: kept aside before an upgrade or
# an uninstall, in Chocolatey's own folder (only administrators can change it), and put back after.
BEFORE_MODIFY = r"""$ErrorActionPreference = 'Stop'
$list = Get-ChildItem -Path (Join-Path $env:ChocolateyPackageFolder 'tools') -Filter Tarnwick.ini -Recurse | Select-Object -First 1
if ($list) {
  $keep = Join-Path $env:ChocolateyInstall 'lib-keep\tarnwick'
  New-Item -ItemType Directory -Force -Path $keep | Out-Null
  Copy-Item -Force $list.FullName (Join-Path $keep 'Tarnwick.ini')
}
"""

INSTALL = r"""$ErrorActionPreference = 'Stop'
$toolsDir = Split-Path -Parent $MyInvocation.MyCommand.Definition
$packageArgs = @{{
  packageName    = $env:ChocolateyPackageName
  unzipLocation  = $toolsDir
  url            = '{url32}'
  checksum       = '{sha32}'
  checksumType   = 'sha256'
  url64bit       = '{url64}'
  checksum64     = '{sha64}'
  checksumType64 = 'sha256'
}}
Install-ChocolateyZipPackage @packageArgs
# No Tarnwick.exe.gui: the shim then waits for Tarnwick and passes its exit code to scripts.
$exe = Get-ChildItem -Path $toolsDir -Filter Tarnwick.exe -Recurse | Select-Object -First 1
$kept = Join-Path $env:ChocolateyInstall 'lib-keep\tarnwick\Tarnwick.ini'
if (Test-Path $kept) {{
  Move-Item -Force $kept (Join-Path $exe.DirectoryName 'Tarnwick.ini')
}}
"""

NUSPEC = """<?xml version="1.0" encoding="utf-8"?>
<package xmlns="http://schemas.microsoft.com/packaging/2015/06/nuspec.xsd">
  <metadata>
    <id>tarnwick</id>
    <version>{version}</version>
    <title>Tarnwick</title>
    <authors>{publisher}</authors>
    <projectUrl>{url_base}</projectUrl>
    <licenseUrl>{url_base}/LICENSE</licenseUrl>
    <requireLicenseAcceptance>false</requireLicenseAcceptance>
    <tags>vex processes admin portable</tags>
    <summary>{summary}</summary>
    <description>{summary} Installed under Chocolatey's lib folder, which only administrators can change, so that an elevated Tarnwick accepts its list. Tarnwick.ini is kept across upgrades.</description>
  </metadata>
  <files>
    <file src="tools\\**" target="tools" />
  </files>
</package>
"""


def chocolatey(out, version, url_base, zips):
    write(f"{out}/tarnwick.nuspec",
          NUSPEC.format(version=version, publisher=PUBLISHER, url_base=url_base, summary=SUMMARY))
    write(f"{out}/tools/chocolateyInstall.ps1",
          INSTALL.format(url32=zips["x86"][0], sha32=zips["x86"][1], url64=zips["x64"][0], sha64=zips["x64"][1]))
    write(f"{out}/tools/chocolateyBeforeModify.ps1", BEFORE_MODIFY)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--version", required=True)
    parser.add_argument("--url-base", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--zip32", required=True)
    parser.add_argument("--zip64", required=True)
    args = parser.parse_args()
    base = args.url_base.rstrip("/")
    zips = {}
    for arch, path in (("x86", args.zip32), ("x64", args.zip64)):
        name = os.path.basename(path)
        zips[arch] = (f"{base}/{name}", sha256(path), name[: -len(".zip")])
    winget(f"{args.out}/winget", args.version, zips)
    scoop(f"{args.out}/scoop", args.version, base, zips)
    chocolatey(f"{args.out}/chocolatey", args.version, base, zips)


if __name__ == "__main__":
    main()
