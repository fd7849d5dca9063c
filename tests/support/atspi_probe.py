#!/usr/bin/python3
"""Reads a program's controls over AT-SPI, as a screen reader does, once it shows a
push button (15 seconds at most). "atspi_probe.py PID" prints "role<TAB>name" for
each named control; "atspi_probe.py PID press NAME" presses the control of the
name through its action interface and prints "pressed"; "atspi_probe.py PID
open NAME" opens its menu through its show-menu action and prints the items of
the menu that opens, "focused<TAB>name" for the item with the focus and
"item<TAB>name" for the others."""
import sys
import time

import pyatspi
from gi.repository import GLib


def named_controls(node, found):
    try:
        if node.name:
            found.append(node)
        for i in range(node.childCount):
            named_controls(node.getChildAtIndex(i), found)
    except Exception:  # gone meanwhile
        pass
    return found


def run_loop(milliseconds):
    GLib.timeout_add(milliseconds, lambda: pyatspi.Registry.stop() and False)
    pyatspi.Registry.start()


def open_and_read(control):
    """Opens the control's menu and reads the menu by the item that takes the focus, as a
    screen reader does: a pop-up menu is no child of the application's windows."""
    action = control.queryAction()
    names = [action.getName(i).lower() for i in range(action.nActions)]
    if "showmenu" not in names:
        print("no show-menu action among " + ",".join(names))
        return
    focused = []

    def on_focus(event):
        if event.detail1 and event.source.getRole() == pyatspi.ROLE_MENU_ITEM:
            focused.append(event.source)
            pyatspi.Registry.stop()

    pyatspi.Registry.registerEventListener(on_focus, "object:state-changed:focused")
    run_loop(500)  # the program learns that focus events are wanted
    action.doAction(names.index("showmenu"))
    run_loop(10000)
    if not focused:
        print("no menu item took the focus")
        return
    menu, at = focused[0].parent, focused[0].getIndexInParent()
    for i in range(menu.childCount):
        item = menu.getChildAtIndex(i)
        if item.getRole() == pyatspi.ROLE_MENU_ITEM:
            prefix = "focused" if i == at else "item"
            print(prefix + "\t" + item.name)


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
        if sys.argv[2:] == ["open", control.name]:
            open_and_read(control)
            return
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
