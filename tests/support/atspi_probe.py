#!/usr/bin/python3
"""Reads a program's controls over AT-SPI, as a screen reader does, once it shows a
push button (15 seconds at most). "atspi_probe.py PID" prints "role<TAB>name" for
each named control; "atspi_probe.py PID press NAME" presses the control of the
name through its action interface and prints "pressed"."""
import sys
import time

import pyatspi


def named_controls(node, found):
    try:
        if node.name:
            found.append(node)
        for i in range(node.childCount):
            named_controls(node.getChildAtIndex(i), found)
    except Exception:  # gone meanwhile
        pass
    return found


def main():
    pid, found = int(sys.argv[1]), []
    deadline = time.monotonic() + 15
    while time.monotonic() < deadline and not any(
            c.getRole() == pyatspi.ROLE_PUSH_BUTTON for c in found):
        time.sleep(0.2)
        for app in pyatspi.Registry.getDesktop(0):
            try:
                if app.get_process_id() == pid:
                    found = named_controls(app, [])
            except Exception:  # gone meanwhile
                pass
    for control in found:
        if sys.argv[2:] == ["press", control.name]:
            action = control.queryAction()
            names = [action.getName(i).lower() for i in range(action.nActions)]
            if "press" in names:
                action.doAction(names.index("press"))
                print("pressed")
        elif sys.argv[2:] == []:
            print(control.getRoleName() + "\t" + control.name)


if __name__ == "__main__":
    main()
