"""What a screen reader hears of the detail sheet, read over AT-SPI from
outside the program: each cell says the text it shows (an empty cell says
nothing) with its place as the description, the cell with the keyboard
focus is the focused one, and the control's parts say what they are."""

import pyatspi

from outside import check, click, connect_demo, house_with_sheet, key, run, text_of, type_text


def test(program):
    # a stored sheet of the demo database, Japanese throughout
    connect_demo(program)
    house_with_sheet(program)
    owner = text_of(program.find("text", "氏名"))
    check(owner, "the first house has no owner name")
    click(program.find("page tab", "評点明細"))
    click(program.find("push button", "明細表示"))
    table = program.find("table", "セル")
    cells = table.queryTable()
    check(cells.getAccessibleAt(3, 2).name == "所有者", f"C4 says {cells.getAccessibleAt(3, 2).name!r}")
    check(cells.getAccessibleAt(3, 3).name == owner, f"D4 says {cells.getAccessibleAt(3, 3).name!r}, not {owner!r}")
    check(cells.getAccessibleAt(3, 3).description == "D4", "D4 is not described as D4")

    # cells typed into say what they show
    click(program.find("push button", "明細消去"))
    table = program.find("table", "セル")
    cells = table.queryTable()
    click(cells.getAccessibleAt(1, 1))
    type_text("Owner")
    key("Return")
    type_text("85.5")
    key("Return")

    said = cells.getAccessibleAt(1, 1)
    check(said.name == "Owner", f"B2 says {said.name!r}")
    check(said.description == "B2", f"B2 is described as {said.description!r}")
    check(said.getRoleName() == "table cell", f"B2 is a {said.getRoleName()}")
    number = cells.getAccessibleAt(2, 1)
    check(number.name == "85.5", f"B3 says {number.name!r}")
    empty = cells.getAccessibleAt(0, 0)
    check(empty.name == "", f"the empty A1 says {empty.name!r}")
    check(empty.description == "A1", f"A1 is described as {empty.description!r}")

    # the keyboard's cell is the focused one, and says what it holds once typed
    focused = cells.getAccessibleAt(3, 1)
    check(focused.getState().contains(pyatspi.STATE_FOCUSED), "B4, the active cell, is not focused")
    check(not said.getState().contains(pyatspi.STATE_FOCUSED), "B2 is still focused")
    type_text("7")
    key("Return")
    check(cells.getAccessibleAt(3, 1).name == "7", "B4 does not say 7 once typed")

    # the parts around the cells
    for role, name in (("text", "数式バー"), ("text", "名前ボックス")):
        program.find(role, name)
    # the sheet tabs and the scroll bars are parts of the table, after its cells
    program.find("page tab", "Sheet1", root=table, skip=())
    check(len(program.find_all("scroll bar", root=table, skip=())) == 2, "the table's scroll bars are not there")
    program.expect_alive("reading the sheet")
    program.shot("screenreader")


run(test)
