#!/usr/bin/env python3
"""Checks that every include runs down the layers, never up or sideways.

The portable core is layered platform < base < {actions, items} < {app, ui};
it includes no header of a window system. A backend includes the core and
itself, and the shared pieces below it (POSIX files and processes; on Linux
the shared facts and the accessibility bridge), never a backend beside it.
Usage: layers.py [SOURCE_DIR]; prints each wrong include and fails on any.
"""
import pathlib
import re
import sys

CORE = {
    "platform": {"platform"},
    "base": {"platform", "base"},
    "actions": {"platform", "base", "actions"},
    "items": {"platform", "base", "items"},
    "app": {"platform", "base", "actions", "items", "app"},
    "ui": {"platform", "base", "actions", "items", "ui"},
}
BACKENDS = {
    "backends/posix": {"backends/posix"},
    "backends/fake": {"backends/fake", "backends/posix", "resources"},
    "backends/win32": {"backends/win32", "resources"},
    # What the Linux window systems share, then the window systems, then the
    # Qt program that picks one of them.
    "backends/atspi": {"backends/atspi"},
    "backends/linux": {"backends/linux", "backends/posix", "resources"},
    "backends/x11": {"backends/x11", "backends/linux", "backends/atspi", "backends/posix", "resources"},
    "backends/wayland": {"backends/wayland", "backends/linux", "backends/atspi", "backends/posix", "resources"},
    "backends/qt": {"backends/qt", "backends/linux", "backends/x11", "backends/wayland", "resources"},
}
# Headers of a window system or an operating system that the core must not see.
SYSTEM = re.compile(r"^(windows\.h|X11/|xkbcommon/|Q[A-Za-z]|atspi|glib|dbus|unistd\.h|sys/|fcntl\.h|psapi\.h)")
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.M)


def owner(rel, table):
    for prefix in sorted(table, key=len, reverse=True):
        if rel == prefix or rel.startswith(prefix + "/"):
            return prefix
    return None


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".").resolve()
    wrong = []
    for path in sorted(root.rglob("*")):
        if path.suffix not in (".h", ".cpp") or "build" in path.relative_to(root).parts[:1]:
            continue
        rel = path.relative_to(root).as_posix()
        layer = owner(rel, CORE)
        backend = owner(rel, BACKENDS)
        if layer is None and backend is None:
            continue
        for kind, name in INCLUDE.findall(path.read_text(errors="replace")):
            if kind == '"' and "/" not in name:
                continue  # a header of the same folder
            if kind == "<":
                if layer is not None and SYSTEM.match(name):
                    wrong.append(f"{rel}: <{name}> is a system header in the portable core")
                continue
            if layer is not None:
                target = owner(name, CORE)
                if target is None or target not in CORE[layer]:
                    wrong.append(f'{rel}: "{name}" is not below the {layer} layer')
            else:
                if owner(name, CORE) is not None:
                    continue
                target = owner(name, BACKENDS) or name.split("/")[0]
                if target not in BACKENDS[backend]:
                    wrong.append(f'{rel}: "{name}" belongs to another backend')
    for line in wrong:
        print(line)
    print(f"{len(wrong)} wrong includes")
    return 1 if wrong else 0


if __name__ == "__main__":
    sys.exit(main())
