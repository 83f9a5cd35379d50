#!/usr/bin/python3
"""Reads the running program's catalogue tree through the accessibility bus.

Usage: desktop_atspi.py tree PID [SECONDS]   the tree's rows, one per line
       desktop_atspi.py centre PID TEXT      screen "X Y" of the row showing TEXT
       desktop_atspi.py focused PID          the text of the field that has the focus

The program must run with QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 on the same
session bus. Nothing here depends on fonts or pixel positions: rows are found
by their text, and "tree" waits up to SECONDS for the program to appear.
Exit 0 done, 1 not found.
"""
import sys
import time

import pyatspi


def program(pid):
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        try:
            if app is not None and app.get_process_id() == pid:
                return app
        except Exception:  # an application that went away meanwhile
            pass
    return None


def find_tree(node, depth=0):
    if node is None or depth > 20:
        return None
    if node.getRole() == pyatspi.ROLE_TREE:
        return node
    for i in range(node.childCount):
        found = find_tree(node.getChildAtIndex(i), depth + 1)
        if found is not None:
            return found
    return None


def rows(tree):
    """The tree's shown rows top to bottom (a collapsed author hides its titles)."""
    cells = [tree.getChildAtIndex(i) for i in range(tree.childCount)]
    return [c for c in cells if c is not None and c.getRole() == pyatspi.ROLE_TABLE_CELL]


def tree_of(pid, seconds):
    deadline = time.monotonic() + seconds
    while True:
        app = program(pid)
        tree = find_tree(app) if app is not None else None
        if tree is not None:
            return tree
        if time.monotonic() > deadline:
            return None
        time.sleep(0.5)


def focused_field(app):
    """The focused text field of the window on top: a shown dialog, else the main
    window. Other widgets may keep a stale focused state, so only text fields count."""
    windows = [app.getChildAtIndex(i) for i in range(app.childCount)]
    windows = [w for w in windows if w is not None and w.getState().contains(pyatspi.STATE_SHOWING)]
    dialogs = [w for w in windows if w.getRole() == pyatspi.ROLE_DIALOG]
    for window in (dialogs[-1:] or windows):
        found = focused_text(window)
        if found is not None:
            return found
    return None


def focused_text(node, depth=0):
    if node is None or depth > 30:
        return None
    state = node.getState()
    if depth > 0 and not state.contains(pyatspi.STATE_SHOWING):
        return None
    if node.getRole() == pyatspi.ROLE_TEXT and state.contains(pyatspi.STATE_FOCUSED):
        return node
    for i in range(node.childCount):
        found = focused_text(node.getChildAtIndex(i), depth + 1)
        if found is not None:
            return found
    return None


def main(argv):
    if len(argv) < 3 or argv[1] not in ("tree", "centre", "focused"):
        print(__doc__.strip(), file=sys.stderr)
        return 2
    pid = int(argv[2])
    if argv[1] == "tree":
        tree = tree_of(pid, float(argv[3]) if len(argv) > 3 else 0)
        if tree is None:
            return 1
        for cell in rows(tree):
            print(cell.name)
        return 0
    if argv[1] == "focused":
        app = program(pid)
        field = focused_field(app) if app is not None else None
        if field is None:
            return 1
        text = field.queryText()
        print(text.getText(0, text.characterCount))
        return 0
    tree = tree_of(pid, 0)
    for cell in rows(tree) if tree is not None else []:
        if cell.name == argv[3]:
            box = cell.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
            print(box.x + box.width // 2, box.y + box.height // 2)
            return 0
    return 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
