#!/usr/bin/env python3
# The settings window's mnemonics: every Alt+letter reaches one control. The
# options are shown inside the window beside its own Options… button, so the
# interface file's labels and the window's own share one set of letters, and
# a label with "_" must ask for it to be read as a mnemonic.
#
# usage: mnemonics.py INTERFACE-FILE HOST-SOURCE...

import collections, re, sys
import xml.etree.ElementTree as ET

ui, sources = sys.argv[1], sys.argv[2:]
labels, problems = [], []
for node in ET.parse(ui).iter("object"):
    props = {p.get("name"): p.text or "" for p in node.findall("property")}
    if "_" in props.get("label", ""):
        labels.append(props["label"])
        if props.get("use-underline") != "True":
            problems.append(f'"{labels[-1]}" shows its "_": use-underline is not set')
for source in sources:
    labels += re.findall(r'_with_mnemonic\("([^"]*)"\)', open(source).read())
letters = collections.defaultdict(list)
for label in labels:
    letters[label[label.index("_") + 1].lower()].append(label)
problems += [f"Alt+{k} is {' and '.join(v)}" for k, v in letters.items() if len(v) > 1]
print("\n".join(problems) or f"{len(letters)} mnemonics, each used once")
sys.exit(1 if problems else 0)
