#!/usr/bin/env python3
"""Reads a wine prefix's registry files (system.reg: HKEY_LOCAL_MACHINE) for the package tests.

  wine_registry.py show SYSTEM.REG KEY...   every value at and below each KEY, one a line:
                                            key<TAB>name<TAB>value (name @ for the default)
  wine_registry.py added BASE.REG NOW.REG   the keys and values NOW has and BASE has not,
                                            leaving out the Windows Installer's bookkeeping
                                            and wine's own

Keys are written as below HKLM, with single backslashes, compared without regard to case;
HKCR is Software\\Classes. Values keep wine's spelling (str: "...", dword:...).
"""
import re
import sys

# Bookkeeping that is not ours to judge: the installer's product, component and cache records,
# the uninstall entries, and what wine and its services note about themselves.
BOOKKEEPING = re.compile(
    r"^software\\(classes\\)?(wow6432node\\)?(microsoft\\windows\\currentversion\\"
    r"(installer|uninstall)|classes\\installer|installer)(\\|$)"
    r"|^software\\(wow6432node\\)?microsoft\\(windows nt\\currentversion\\|cryptography)"
    r"|^software\\wine(\\|$)|^system\\", re.IGNORECASE)


def unescape_key(text):
    return text.replace("\\\\", "\\")


def read(path):
    """{key: {name: value}}, with key and name as written (keys unescaped)."""
    keys = {}
    current = None
    with open(path, encoding="utf-8", errors="replace") as f:
        for line in f:
            line = line.rstrip("\n")
            if line.startswith("["):
                current = keys.setdefault(unescape_key(line[1:line.rindex("]")]), {})
            elif current is not None and line and line[0] in '"@':
                if line.startswith("@="):
                    name, value = "@", line[2:]
                else:
                    end = 1
                    while line[end] != '"':
                        end += 2 if line[end] == "\\" else 1
                    name, value = line[1:end], line[end + 2:]
                current[name] = value
    return keys


def below(key, top):
    k, t = key.lower(), top.lower()
    return k == t or k.startswith(t + "\\")


def main():
    if len(sys.argv) >= 4 and sys.argv[1] == "show":
        keys = read(sys.argv[2])
        for top in sys.argv[3:]:
            for key in sorted(k for k in keys if below(k, top)):
                for name, value in sorted(keys[key].items()):
                    print(f"{key}\t{name}\t{value}")
    elif len(sys.argv) == 4 and sys.argv[1] == "added":
        base, now = read(sys.argv[2]), read(sys.argv[3])
        base_lower = {k.lower(): {n.lower(): v for n, v in vals.items()}
                      for k, vals in base.items()}
        for key in sorted(now):
            if BOOKKEEPING.search(key):
                continue
            before = base_lower.get(key.lower())
            if before is None:
                print(f"key {key}")
                continue
            for name, value in sorted(now[key].items()):
                if before.get(name.lower()) != value:
                    print(f"value {key}\t{name}\t{value}")
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
