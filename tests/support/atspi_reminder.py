"""Reads the reminder's window over AT-SPI, as a screen reader would, and
presses its close button through the action interface.

Usage: atspi_reminder.py PID APPLICATION-NAME. Prints one line per fault and
exits 1 when there was any."""
import sys
import time

import pyatspi

TITLE = "証明書の有効期限のお知らせ"
TABLE = "有効期限が近い証明書"
COLUMNS = ["種別", "シリアル番号", "有効期限の満了日"]
BUTTON = "閉じる"


def application(pid):
    """The accessible application of process PID, once it shows a dialog."""
    for _ in range(300):
        for app in pyatspi.Registry.getDesktop(0):
            if app is not None and app.get_process_id() == pid and app.childCount > 0:
                return app
        time.sleep(0.1)
    sys.exit(f"FAIL: process {pid} is not on the accessibility bus")


def descendants(node):
    for child in node:
        if child is not None:
            yield child
            yield from descendants(child)


def main():
    pid, name, rows = int(sys.argv[1]), sys.argv[2], [line.split(",") for line in sys.argv[3:]]
    faults = []

    def expect(what, seen, wanted):
        if seen != wanted:
            faults.append(f"{what} is {seen!r}, not {wanted!r}")

    app = application(pid)
    expect("the application's name", app.name, name)
    window = app[0]
    expect("the window's role", window.getRoleName(), "dialog")
    expect("the window's name", window.name, TITLE)
    nodes = list(descendants(window))
    tables = [node for node in nodes if node.getRole() == pyatspi.ROLE_TABLE]
    buttons = [node for node in nodes if node.getRole() == pyatspi.ROLE_PUSH_BUTTON]
    expect("the number of tables", len(tables), 1)
    expect("the buttons", [button.name for button in buttons], [BUTTON])
    if faults:
        print("\n".join("FAIL: " + fault for fault in faults))
        return 1
    table = tables[0].queryTable()
    expect("the table's name", tables[0].name, TABLE)
    expect("the column headers",
           [table.getColumnHeader(column).name for column in range(table.nColumns)], COLUMNS)
    expect("the cells",
           [[table.getAccessibleAt(row, column).name for column in range(table.nColumns)]
            for row in range(table.nRows)], rows)
    button = buttons[0]
    expect("the button has the focus", button.getState().contains(pyatspi.STATE_FOCUSED), True)
    action = button.queryAction()
    names = [action.getName(i) for i in range(action.nActions)]
    if "Press" not in names:
        faults.append(f"the button's actions are {names}, without Press")
    else:
        action.doAction(names.index("Press"))
    for fault in faults:
        print("FAIL: " + fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
