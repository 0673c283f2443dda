#!/usr/bin/python3
"""Writes the release's SBOM (CycloneDX 1.5, JSON): the libraries linked statically into each shipped
program, read from the linker's map (the archive members it took and the objects it loaded), with
the version and licence of the Debian package that provided each; and the programs with their SHA-256.

Usage: sbom.py --version 1.0.0 --epoch SECONDS --out FILE
               --exe NAME PATH MAP [--exe ...] [--unsigned NAME SHA256 ...]
NAME is the program's path inside the release ("Tarnwick-1.0.0/Tarnwick.exe"); MAP is "-" when there is
none. --unsigned gives a program's hash before signing (recorded when it was signed). Fails on a library it cannot place.
"""
import argparse
import datetime
import hashlib
import json
import os
import re
import subprocess
import sys
import uuid

GCC_RUNTIME = "GPL-3.0-or-later WITH GCC-exception-3.1"
# What each linked file belongs to, by its name; the licences are those of the Debian packages'
# copyright files (/usr/share/doc/<package>/copyright) for these parts.
COMPONENTS = [
    ("libstdc++", re.compile(r"libstdc\+\+\.a$"), GCC_RUNTIME),
    ("libssp", re.compile(r"libssp(_nonshared)?\.a$"), GCC_RUNTIME),
    ("libgcc", re.compile(r"(libgcc(_eh)?\.a|crt(begin|end|fastmath)\.o)$"), GCC_RUNTIME),
    ("winpthreads", re.compile(r"lib(win)?pthread\.a$"), "MIT AND BSD-3-Clause"),
    # The rest of the mingw-w64 runtime: startup code, msvcrt glue and the import libraries.
    ("mingw-w64-crt", re.compile(r"\.(a|o)$"), "ZPL-2.1 AND LicenseRef-public-domain"),
]


def linked_files(map_path):
    """The system files the linker took code from: archives with members taken, and objects loaded."""
    files = set()
    section = None
    with open(map_path, encoding="utf-8", errors="replace") as text:
        for line in text:
            if line.startswith("Archive member included"):
                section = "members"
            elif line.startswith("Discarded input sections"):
                section = None
            elif section == "members":
                found = re.match(r"^(/\S+\.a)\(", line)
                if found:
                    files.add(os.path.normpath(found.group(1)))
            elif line.startswith("LOAD /") and line.rstrip().endswith(".o"):
                files.add(os.path.normpath(line[5:].strip()))
    return files


def debian_packages(files):
    """Each file's package, from dpkg's database."""
    owners = {}
    result = subprocess.run(["dpkg", "-S", *sorted(files)], capture_output=True, text=True, check=False)
    for line in result.stdout.splitlines():
        package, _, path = line.partition(": ")
        owners[path.strip()] = package.split(":")[0]
    missing = sorted(set(files) - set(owners))
    if missing:
        sys.exit("sbom.py: no Debian package provides " + ", ".join(missing))
    return owners


def package_facts(package):
    fields = "${Version}\t${Architecture}\t${Homepage}"
    out = subprocess.run(["dpkg-query", "-W", "-f=" + fields, package], capture_output=True, text=True, check=True)
    version, arch, homepage = out.stdout.split("\t")
    return {"version": version, "arch": arch, "homepage": homepage}


def component_of(path, package):
    name = os.path.basename(path)
    for component, pattern, licence in COMPONENTS:
        if pattern.search(name):
            if component == "mingw-w64-crt" and not package.startswith("mingw-w64-"):
                break
            return component, licence
    sys.exit(f"sbom.py: {path} (package {package}) belongs to no known component")


def sha256(path):
    with open(path, "rb") as data:
        return hashlib.sha256(data.read()).hexdigest()


def build(args):
    libraries = {}  # bom-ref -> component; one Debian package can give two (libgcc and libssp)
    programs = []
    dependencies = []
    unsigned = dict(args.unsigned or [])
    for name, path, map_path in args.exe:
        ref = name
        program = {
            "type": "application",
            "bom-ref": ref,
            "name": os.path.basename(name),
            "version": args.version,
            "hashes": [{"alg": "SHA-256", "content": sha256(path)}],
            "properties": [{"name": "tarnwick:path", "value": name}],
        }
        if name in unsigned and unsigned[name] != program["hashes"][0]["content"]:
            program["properties"].append({"name": "tarnwick:unsigned-sha256", "value": unsigned[name]})
        programs.append(program)
        if map_path == "-":
            continue
        files = linked_files(map_path)
        owners = debian_packages(files)
        used = set()
        for path_linked in sorted(files):
            package = owners[path_linked]
            component, licence = component_of(path_linked, package)
            facts = package_facts(package)
            purl = f"pkg:deb/debian/{package}@{facts['version']}?arch={facts['arch']}"
            ref_library = f"{component}:{purl}"
            library = libraries.setdefault(
                ref_library,
                {
                    "type": "library",
                    "bom-ref": ref_library,
                    "name": component,
                    "version": facts["version"],
                    "description": f"linked statically; Debian package {package}",
                    "licenses": [{"expression": licence}],
                    "purl": purl,
                    "properties": [{"name": "tarnwick:debian-package", "value": package}],
                },
            )
            if facts["homepage"]:
                library["externalReferences"] = [{"type": "website", "url": facts["homepage"]}]
            linked = {"name": "tarnwick:linked-file", "value": path_linked}
            if linked not in library["properties"]:
                library["properties"].append(linked)
            used.add(ref_library)
        dependencies.append({"ref": ref, "dependsOn": sorted(used)})

    components = programs + [libraries[ref] for ref in sorted(libraries)]
    # The same programs give the same SBOM: its serial number and time come from them and the commit.
    digest = "\n".join(p["hashes"][0]["content"] for p in programs)
    serial = uuid.uuid5(uuid.NAMESPACE_URL, f"tarnwick:{args.version}:{digest}")
    when = datetime.datetime.fromtimestamp(args.epoch, datetime.timezone.utc)
    return {
        "bomFormat": "CycloneDX",
        "specVersion": "1.5",
        "serialNumber": f"urn:uuid:{serial}",
        "version": 1,
        "metadata": {
            "timestamp": when.strftime("%Y-%m-%dT%H:%M:%SZ"),
            "tools": {"components": [{"type": "application", "name": "scripts/sbom.py"}]},
            "component": {
                "type": "application",
                "bom-ref": "Tarnwick",
                "name": "Tarnwick",
                "version": args.version,
                "supplier": {"name": "Velm"},
                "licenses": [{"license": {"id": "MIT"}}],
            },
        },
        "components": components,
        "dependencies": [{"ref": "Tarnwick", "dependsOn": [p["bom-ref"] for p in programs]}] + dependencies,
    }


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--version", required=True)
    parser.add_argument("--epoch", type=int, default=int(os.environ.get("SOURCE_DATE_EPOCH", "0")))
    parser.add_argument("--out", required=True)
    parser.add_argument("--exe", nargs=3, action="append", required=True, metavar=("NAME", "PATH", "MAP"))
    parser.add_argument("--unsigned", nargs=2, action="append", metavar=("NAME", "SHA256"))
    args = parser.parse_args()
    with open(args.out, "w", encoding="utf-8") as out:
        json.dump(build(args), out, indent=2, sort_keys=False)
        out.write("\n")


if __name__ == "__main__":
    main()
