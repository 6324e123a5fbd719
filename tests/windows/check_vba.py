#!/usr/bin/env python3
"""Checks the package's VBA module, Kelvora.bas, as far as VBA can be
checked without Excel. It must be ASCII: the editor reads it in the ANSI
code page.

usage: check_vba.py <Kelvora.bas> <kelvora.idl> <windows.md>
"""
import re
import sys

bas_path, idl_path, doc_path = sys.argv[1:4]
raw = open(bas_path, "rb").read()
errors = ["not ASCII"] if any(b > 127 for b in raw) else []
text = raw.decode("ascii", "replace").replace("\r\n", "\n")

name = re.match(r'Attribute VB_Name = "(\w+)"\n', text)
if not name:
    errors.append("no Attribute VB_Name on the first line")
elif name.group(1) == "Kelvora":
    errors.append("module named Kelvora: Kelvora.X would call its own macros")

# Blocks: Sub/Function ... End Sub/End Function, If ... Then (with nothing
# after Then) ... End If; comments and strings stripped first.
OPENERS = [(r"(Public |Private )?Sub \w+\(.*\)$", "Sub"),
           (r"(Public |Private )?Function \w+\(.*\)( As \w+)?$", "Function"),
           (r"If .* Then$", "If")]
stack, calls, macros = [], {}, []
for number, line in enumerate(text.split("\n"), 1):
    code = re.sub(r'"[^"]*"', '""', line).split("'")[0].strip()
    if not code or code.startswith(("Attribute ", "Option ")):
        continue
    end = re.fullmatch(r"End (Sub|Function|If)", code)
    opener = next((kind for pattern, kind in OPENERS if re.fullmatch(pattern, code)), None)
    if end:
        if not stack or stack[-1][0] != end.group(1):
            errors.append(f"line {number}: {code} without its opening")
        else:
            stack.pop()
    elif opener == "If":
        stack.append(("If", number))
    elif opener:
        if stack:
            errors.append(f"line {number}: {opener} inside {stack[-1][0]}")
        procedure = re.search(r"(?:Sub|Function) (\w+)", code).group(1)
        if opener == "Sub" and not code.startswith("Private"):
            macros.append(procedure)
        calls[procedure] = []
        stack.append((opener, number))
    elif stack:
        # Members called on the component: through the function Kelvora or
        # the variables that hold it.
        calls[procedure] += [m for o, m in re.findall(r"\b(\w+)\.(\w+)", code)
                             if o in ("Kelvora", "k", "created")]
errors += [f"line {number}: {kind} without End {kind}" for kind, number in stack]

interface = re.search(r"interface _Sub\b.*?\{(.*?)\};", open(idl_path).read(), re.S).group(1)
methods = re.findall(r"HRESULT (\w+)\(", interface)
called = [m for members in calls.values() for m in members]
errors += [f"{m} is no method of _Sub" for m in called if m not in methods]
errors += [f"no macro calls {m}" for m in methods
           if m != "Sup" and not any(m in calls[n] for n in macros)]
errors += [f"macro {n} calls {calls[n]}, not one command" for n in macros if len(calls[n]) != 1]
if "Sup" not in called:
    errors.append("the module never calls Sup")

doc = open(doc_path, encoding="utf-8").read()
body = text.split("\n", 1)[1].strip()
if body not in [b.strip() for b in re.findall(r"```vba\n(.*?)```", doc, re.S)]:
    errors.append("docs/windows.md does not show the module as the package has it")

for e in errors:
    print(f"{bas_path}: {e}", file=sys.stderr)
print(f"check_vba: {len(macros)} macros, {len(methods)} methods of _Sub, "
      f"{'ok' if not errors else f'{len(errors)} errors'}")
sys.exit(1 if errors else 0)
