"""Formulas typed into the cells of the detail sheet with real X key events:
Shift for + * ( ) and capitals, Shift+Home after F2, Ctrl and Alt pressed
alone while an entry is typed. The program must live through every key, and
the cells must show what was typed."""

from outside import Failure, check, click, key, run, settle, type_text


def sheet_cell(program, row, col):
    table = program.find("table", "セル")
    cell = table.queryTable().getAccessibleAt(row, col)
    check(cell is not None, f"no cell at {row}, {col}")
    return cell


def shown(program, row, col):
    # a cell's accessible name is the text it shows
    return sheet_cell(program, row, col).name


def test(program):
    click(program.find("page tab", "評点明細"))
    program.expect_alive("showing the sheet page")

    click(sheet_cell(program, 0, 0))
    type_text("2\t3\t")
    program.expect_alive("typing numbers")
    # Shift for + * ( ), typed into the cell
    type_text("=A1+B1*(2)")
    program.expect_alive("typing a formula with Shift")
    key("Return")
    program.expect_alive("storing the formula")
    check(shown(program, 0, 2) == "8", f"C1 shows {shown(program, 0, 2)!r}, not 8")

    # F2, Shift+Home selects the entry, typing replaces it
    click(sheet_cell(program, 0, 2))
    key("F2")
    key("shift+Home")
    program.expect_alive("Shift+Home after F2")
    type_text("=SUM(A1:B1)")
    key("Return")
    program.expect_alive("a capital letter in a formula")
    check(shown(program, 0, 2) == "5", f"C1 shows {shown(program, 0, 2)!r}, not 5")

    # modifiers alone while typing, then Escape keeps the cell as it was
    click(sheet_cell(program, 1, 0))
    type_text("=A1")
    for modifier in ("shift", "ctrl", "alt", "ctrl+shift", "super"):
        key(modifier)
        program.expect_alive(f"{modifier} alone while typing")
    key("Escape")
    program.expect_alive("Escape")
    check(shown(program, 1, 0) == "", f"A2 shows {shown(program, 1, 0)!r} after Escape")

    # the same in the edit bar
    click(sheet_cell(program, 2, 0))
    click(program.find("text", "数式バー"))
    type_text("=C1*(A1+1)")
    key("shift")
    key("Return")
    program.expect_alive("a formula in the edit bar")
    check(shown(program, 2, 0) == "15", f"A3 shows {shown(program, 2, 0)!r}, not 15")
    program.shot("realkeys")


run(test)
