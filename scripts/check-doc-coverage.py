#!/usr/bin/env python3
"""Usage: check-doc-coverage.py XML_DIR

Reads the XML output of Doxygen and fails on any public declaration without a description
(Doxygen itself warns about most, but not about enum values). Prints one line per
undocumented declaration."""
import sys
import xml.etree.ElementTree as ET
from pathlib import Path


def described(element):
    return any("".join(element.find(tag).itertext()).strip()
               for tag in ("briefdescription", "detaileddescription") if element.find(tag) is not None)


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    missing = []
    for path in sorted(Path(sys.argv[1]).glob("*.xml")):
        if path.name in ("index.xml", "Doxyfile.xml"):
            continue
        compound = ET.parse(path).getroot().find("compounddef")
        if compound is None or compound.get("prot") == "private":
            continue  # a private nested type
        for member in compound.iter("memberdef"):
            if member.get("prot") == "private":
                continue
            for item in [member] + member.findall("enumvalue"):
                if not described(item):
                    location = member.find("location")
                    where = f"{location.get('file')}:{location.get('line')}" if location is not None else path.name
                    missing.append(f"{where}: {item.findtext('name')} is not documented")
    for line in sorted(set(missing)):
        print(line)
    if missing:
        sys.exit(1)


if __name__ == "__main__":
    main()
