#!/usr/bin/python3
"""What scripts/release.sh publishes, checked on the test tree's own programs in seconds:
  sbom BIN        the SBOM of BIN/Tarnwick.exe (from BIN/Tarnwick.map) parses, names the static libraries
                  with versions and licences, and carries the exe's SHA-256
  signature BIN   a copy of BIN/Tarnwick.exe, made canonical and signed with a throwaway certificate,
                  verifies, and without its signature is the unsigned file again; without a key nothing
                  is signed
  manifests       the winget, Scoop and Chocolatey manifests parse and carry the zips' hashes and paths
"""
import hashlib
import json
import os
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ElementTree
import zipfile

import yaml

SCRIPTS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts")
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)


def sha256(path):
    with open(path, "rb") as data:
        return hashlib.sha256(data.read()).hexdigest()


def run(*command, env=None):
    return subprocess.run(command, capture_output=True, text=True, env=env, check=False)


def sbom(work, binary):
    exe = os.path.join(binary, "Tarnwick.exe")
    out = os.path.join(work, "sbom.json")
    made = run("/usr/bin/python3", f"{SCRIPTS}/sbom.py", "--version", "9.8.7", "--epoch", "0", "--out", out,
               "--exe", "Tarnwick-9.8.7/Tarnwick.exe", exe, os.path.join(binary, "Tarnwick.map"))
    check(made.returncode == 0, "sbom.py failed: " + made.stderr)
    with open(out, encoding="utf-8") as text:
        document = json.load(text)
    check((document["bomFormat"], document["specVersion"]) == ("CycloneDX", "1.5"), "not CycloneDX 1.5")
    libraries = {c["name"]: c for c in document["components"] if c["type"] == "library"}
    for name in ("libstdc++", "libgcc", "libssp", "mingw-w64-crt", "winpthreads"):
        library = libraries.get(name, {})
        check(library.get("version") and library.get("licenses") and library.get("purl", "").startswith("pkg:deb/"),
              f"{name}: missing, or without version, licence or package")
    programs = [c for c in document["components"] if c["type"] == "application"]
    check([p["hashes"] for p in programs] == [[{"alg": "SHA-256", "content": sha256(exe)}]], "exe hash")
    refs = {c["bom-ref"] for c in document["components"]} | {"Tarnwick"}
    check(all(set(d["dependsOn"]) <= refs for d in document["dependencies"]), "dangling dependency")


def signature(work, binary):
    unsigned = os.path.join(work, "unsigned.exe")
    signed = os.path.join(work, "Tarnwick.exe")
    shutil.copy(os.path.join(binary, "Tarnwick.exe"), unsigned)
    # As release.sh ships it: in the form that taking the signature off gives back.
    run("/usr/bin/python3", f"{SCRIPTS}/pe_canonical.py", unsigned)
    shutil.copy(unsigned, signed)
    bare = dict(os.environ)
    for name in ("TARNWICK_SIGN_PKCS12", "TARNWICK_SIGN_PKCS11_MODULE", "TARNWICK_TIMESTAMP_URL"):
        bare.pop(name, None)
    said = run(f"{SCRIPTS}/sign.sh", signed, env=bare)
    check(said.returncode == 0 and "Not signed" in said.stdout and sha256(signed) == sha256(unsigned), "keyless")

    key, cert, p12, password = (os.path.join(work, n) for n in ("key.pem", "cert.pem", "key.p12", "password"))
    made = run("openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert, "-days",
               "1", "-subj", "/CN=Tarnwick test signer", "-addext", "extendedKeyUsage=codeSigning")
    check(made.returncode == 0, "openssl req: " + made.stderr)
    with open(password, "w", encoding="utf-8") as out:
        out.write("throwaway\n")
    run("openssl", "pkcs12", "-export", "-inkey", key, "-in", cert, "-out", p12, "-passout", "pass:throwaway")
    said = run(f"{SCRIPTS}/sign.sh", signed,
               env=dict(bare, TARNWICK_SIGN_PKCS12=p12, TARNWICK_SIGN_PASSWORD_FILE=password))
    check(said.returncode == 0 and sha256(signed) != sha256(unsigned), "not signed: " + said.stdout + said.stderr)
    verified = run("osslsigncode", "verify", "-CAfile", cert, "-in", signed)
    check(verified.returncode == 0, "does not verify: " + verified.stdout)
    back = os.path.join(work, "back.exe")
    run("osslsigncode", "remove-signature", "-in", signed, "-out", back)
    check(os.path.exists(back) and sha256(back) == sha256(unsigned), "unsigned bytes not given back")


def manifests(work):
    zips = {}
    for arch, folder in (("x86", "Tarnwick-9.8.7"), ("x64", "Tarnwick-9.8.7-x64")):
        zips[arch] = os.path.join(work, folder + ".zip")
        with zipfile.ZipFile(zips[arch], "w") as archive:
            archive.writestr(folder + "/Tarnwick.exe", "MZ " + arch)
    out = os.path.join(work, "packaging")
    made = run("/usr/bin/python3", f"{SCRIPTS}/packaging.py", "--version", "9.8.7", "--url-base",
               "https://example.org/t/", "--out", out, "--zip32", zips["x86"], "--zip64", zips["x64"])
    check(made.returncode == 0, "packaging.py failed: " + made.stderr)
    by_url = {f"https://example.org/t/{os.path.basename(p)}": p for p in zips.values()}

    winget = {}
    for kind in ("", ".installer", ".locale.en-US"):
        with open(f"{out}/winget/Velm.Tarnwick{kind}.yaml", encoding="utf-8") as text:
            winget[kind] = yaml.safe_load(text)
        check(winget[kind]["PackageVersion"] == "9.8.7", f"winget{kind} version")
    installer = winget[".installer"]
    check((installer["InstallerType"], installer["NestedInstallerType"]) == ("zip", "portable"), "winget types")
    seen = set()
    for entry in installer["Installers"]:
        path = by_url[entry["InstallerUrl"]]
        nested = entry["NestedInstallerFiles"][0]
        check(entry["InstallerSha256"].lower() == sha256(path), "winget hash " + entry["InstallerUrl"])
        check(nested["PortableCommandAlias"] == "tarnwick", "winget alias")
        check(nested["RelativeFilePath"].replace("\\", "/") in zipfile.ZipFile(path).namelist(), "winget path")
        seen.add((entry["Architecture"], entry["Scope"]))
    check({("x86", "machine"), ("x64", "machine")} <= seen, "winget machine-scope installers")

    with open(f"{out}/scoop/tarnwick.json", encoding="utf-8") as text:
        scoop = json.load(text)
    for bits, arch in (("32bit", "x86"), ("64bit", "x64")):
        entry = scoop["architecture"][bits]
        check(by_url[entry["url"]] == zips[arch] and entry["hash"] == sha256(zips[arch]), "scoop " + bits)
    check(scoop["persist"] == "Tarnwick.ini" and "Tarnwick.ini" in scoop["pre_install"], "scoop persist")

    nuspec = ElementTree.parse(f"{out}/chocolatey/tarnwick.nuspec").getroot()
    check(nuspec.find(".//{*}version").text == "9.8.7", "nuspec version")
    with open(f"{out}/chocolatey/tools/chocolateyInstall.ps1", encoding="utf-8") as text:
        install = text.read()
    check(all(sha256(p) in install for p in zips.values()), "chocolatey hashes")
    check(os.path.exists(f"{out}/chocolatey/tools/chocolateyBeforeModify.ps1"), "chocolatey before-modify")
    check(not any(f.endswith(".gui") for _, _, files in os.walk(out) for f in files), "a .gui file")


def main():
    mode = sys.argv[1]
    with tempfile.TemporaryDirectory() as work:
        if mode == "manifests":
            manifests(work)
        else:
            {"sbom": sbom, "signature": signature}[mode](work, sys.argv[2])
    for failure in failures:
        print("FAILED:", failure)
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
