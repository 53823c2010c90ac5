#!/usr/bin/env python3
"""Fails when the Group Policy templates and the program disagree.

  check-policy-templates.py --src SRC --templates packaging/policy

- The ADMX and every ADML (one folder per language) are well-formed XML.
- The ADMX's policies write exactly the registry key and value names the
  policy reader reads (src/policy/policy_win.cpp, through the names of
  src/policy/policy.h), and the words they write are ones the program takes
  ("off" for Notify, the ProxyLogon words of src/policy/policy.cpp).
- Every ADML defines each string and presentation the ADMX names, and each
  presentation refers to an element of its policy.
Prints one line per fault and exits 1; a summary and 0 otherwise.
"""
import argparse
import pathlib
import re
import sys
import xml.etree.ElementTree as ET

NS = "{http://schemas.microsoft.com/GroupPolicy/2006/07/PolicyDefinitions}"
LANGUAGES = ("en-US", "zh-CN", "ko-KR", "ja-JP")


def names_the_code_reads(src):
    header = (src / "policy" / "policy.h").read_text(encoding="utf-8")
    macros = {m.group(1): m.group(2).replace("\\\\", "\\")
              for m in re.finditer(r'#define (QMX_POLICY_\w+) L"([^"]*)"', header)}
    reader = (src / "policy" / "policy_win.cpp").read_text(encoding="utf-8")
    key = macros[re.search(r"RegOpenKeyExW\(\w+, (QMX_POLICY_\w+)", reader).group(1)]
    values = {macros[m] for m in re.findall(r"ReadValue\(\w+\.key, (QMX_POLICY_\w+)\)", reader)}
    decision = (src / "policy" / "policy.cpp").read_text(encoding="utf-8")
    words = {"Notify": set(re.findall(r'kOff\[\] = L"(\w+)"', decision)),
             "ProxyLogon": set(re.findall(r'word == L"(\w+)"', decision))}
    return key, values, words


def written_strings(node):
    return {s.text for s in node.iter(NS + "string")}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--src", required=True)
    parser.add_argument("--templates", required=True)
    args = parser.parse_args()
    src, folder = pathlib.Path(args.src), pathlib.Path(args.templates)
    faults = []

    try:
        admx = ET.parse(folder / "QmxAssistant.admx").getroot()
    except (OSError, ET.ParseError) as e:
        print(f"check-policy-templates: QmxAssistant.admx: {e}")
        return 1
    key, values, words = names_the_code_reads(src)

    written, strings, presentations, elements = set(), set(), set(), {}
    for policy in admx.iter(NS + "policy"):
        name = policy.get("name")
        if policy.get("key") != key:
            faults.append(f"policy {name}: key {policy.get('key')}, the program reads {key}")
        found = policy.find(NS + "elements")
        children = list(found) if found is not None else []
        value_names = [policy.get("valueName")] if policy.get("valueName") else []
        value_names += [e.get("valueName") for e in children]
        written.update(value_names)
        elements[name] = {e.get("id") for e in children}
        for value in value_names:
            if value in words and not written_strings(policy) <= words[value]:
                faults.append(f"policy {name} writes {sorted(written_strings(policy))}, "
                              f"the program takes {sorted(words[value])}")
    for attribute in re.findall(r'"\$\((string|presentation)\.(\w+)\)"',
                                (folder / "QmxAssistant.admx").read_text(encoding="utf-8")):
        (strings if attribute[0] == "string" else presentations).add(attribute[1])
    if written != values:
        faults.append(f"the ADMX writes {sorted(written)}, the program reads {sorted(values)}")

    for language in LANGUAGES:
        path = folder / language / "QmxAssistant.adml"
        try:
            adml = ET.parse(path).getroot()
        except (OSError, ET.ParseError) as e:
            faults.append(f"{language}: {e}")
            continue
        defined = {s.get("id") for s in adml.iter(NS + "string")}
        for missing in sorted(strings - defined):
            faults.append(f"{language}: no string {missing}")
        shown = {p.get("id"): p for p in adml.iter(NS + "presentation")}
        for missing in sorted(presentations - set(shown)):
            faults.append(f"{language}: no presentation {missing}")
        for pid, presentation in shown.items():
            refs = {c.get("refId") for c in presentation}
            if not refs <= elements.get(pid, set()):
                faults.append(f"{language}: presentation {pid} refers to {sorted(refs)}")

    for fault in faults:
        print(f"check-policy-templates: {fault}")
    if faults:
        return 1
    print(f"check-policy-templates: {len(written)} policy values under {key}, "
          f"{len(strings)} strings and {len(presentations)} presentations in {len(LANGUAGES)} "
          f"languages")
    return 0


if __name__ == "__main__":
    sys.exit(main())
