#!/usr/bin/python3
"""Reads a program's controls the way a screen reader does: over AT-SPI, from
the accessibility bus of the session.

    atspi_probe.py PID            prints one JSON object per control
    atspi_probe.py PID press NAME presses the control named NAME through its
                                  action interface, then prints "pressed"

Waits up to 15 seconds for the program to appear with at least one push
button. Exits 1 when it does not, or when no control has the name."""
import json
import sys
import time

import pyatspi

CONTROL_ROLES = {
    pyatspi.ROLE_PUSH_BUTTON,
    pyatspi.ROLE_TOGGLE_BUTTON,
    pyatspi.ROLE_CHECK_BOX,
    pyatspi.ROLE_PUSH_BUTTON_MENU,
    pyatspi.ROLE_LABEL,
    pyatspi.ROLE_FILLER,
    pyatspi.ROLE_PANEL,
}


def application(pid):
    for app in pyatspi.Registry.getDesktop(0):
        try:
            if app is not None and app.get_process_id() == pid:
                return app
        except Exception:  # an application that went away meanwhile
            continue
    return None


def controls(node, found):
    try:
        role = node.getRole()
        name = node.name or ""
        description = node.description or ""
    except Exception:
        return found
    if role in CONTROL_ROLES and (name or role != pyatspi.ROLE_FILLER):
        actions = []
        try:
            action = node.queryAction()
            actions = [action.getName(i) for i in range(action.nActions)]
        except NotImplementedError:
            pass
        found.append({"node": node, "role": node.getRoleName(), "name": name,
                      "description": description, "actions": actions,
                      "showing": node.getState().contains(pyatspi.STATE_SHOWING)})
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is not None:
            controls(child, found)
    return found


def main():
    pid = int(sys.argv[1])
    deadline = time.monotonic() + 15
    found = []
    while time.monotonic() < deadline:
        app = application(pid)
        if app is not None:
            found = controls(app, [])
            if any(c["role"] == "push button" for c in found):
                break
        time.sleep(0.2)
    if not found:
        print("no accessible controls of process %d" % pid, file=sys.stderr)
        return 1
    if len(sys.argv) >= 4 and sys.argv[2] == "press":
        for control in found:
            if control["name"] == sys.argv[3]:
                action = control["node"].queryAction()
                names = [action.getName(i).lower() for i in range(action.nActions)]
                if "press" not in names:
                    print("%r has no press action: %r" % (sys.argv[3], names), file=sys.stderr)
                    return 1
                action.doAction(names.index("press"))
                print("pressed")
                return 0
        print("no control named %r" % sys.argv[3], file=sys.stderr)
        return 1
    for control in found:
        control.pop("node")
        print(json.dumps(control, ensure_ascii=False))
    return 0


if __name__ == "__main__":
    sys.exit(main())
