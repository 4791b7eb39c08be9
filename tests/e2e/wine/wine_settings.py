"""The settings windows of replywick.exe under Wine, driven by real input.

Cases of wine_e2e.py (which passes itself in through cases()). Every click
and key goes through xdotool to the X server, so Wine sees real input. Where
the controls are, and what they show, the test helper rwctl.exe reads from
the live dialogs ("rwctl children TITLE [ID]": each control's id, class,
screen rectangle, state and text as bytes of the ANSI code page); the
controls' ids come from backends/win32/ui/ControlIds.h, by name.

Language: the Windows program takes German from the system's default
language. Wine gives a process the language of LC_ALL when it is set, even
without a generated glibc locale of that name: LC_ALL=de_DE.UTF-8 gives
language 0x0407 and the ANSI code page 1252.
"""
import os
import re
import subprocess
import time

e2e = None  # the harness module (wine_e2e), set by cases()

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.abspath(os.path.join(HERE, "..", "..", ".."))
IDS_HEADER = os.path.join(ROOT, "backends", "win32", "ui", "ControlIds.h")

# Entries of the icon's menu, from its top: About, Settings, separator,
# Active, separator, Close.
MENU_ABOUT_Y = 10
MENU_SETTINGS_Y = 28


def control_ids():
    text = e2e.read(IDS_HEADER)
    ids = {}
    for name, value in re.findall(r"constexpr int k(\w+) = (\d+);", text):
        ids[name[0].lower() + name[1:]] = int(value)
    return ids


IDS = {}


def ansi(text):
    """The bytes a control shows for a text, in code page 1252."""
    return text.encode("cp1252")


def unhex(h):
    return b"" if h == "-" else bytes.fromhex(h)


class Dialog:
    """One look at a live dialog through rwctl."""

    def __init__(self, out):
        self.controls, self.texts, self.rows, self.content, self.combo = {}, {}, {}, {}, {}
        for line in out.splitlines():
            p = line.split()
            if not p:
                continue
            if p[0] == "window":
                self.hwnd = int(p[1])
                self.rect = tuple(map(int, p[2:6]))
                self.client = tuple(map(int, p[6:10]))
                self.topmost, self.enabled, self.foreground = (p[10] == "1", p[11] == "1", p[12] == "1")
                self.cls = p[13]
                self.title = unhex(p[14])
            elif p[0] == "child":
                self.controls[int(p[1])] = dict(
                    cls=p[2], x=int(p[3]), y=int(p[4]), w=int(p[5]), h=int(p[6]), visible=p[7] == "1",
                    enabled=p[8] == "1", style=int(p[9], 16), focused=p[10] == "1", text=unhex(p[11]),
                    image=int(p[12]))
            elif p[0] == "row":
                cid, i = int(p[1]), int(p[2])
                self.rows.setdefault(cid, []).append(dict(
                    index=i, x=int(p[3]), y=int(p[4]), w=int(p[5]), h=int(p[6]), selected=p[7] == "1",
                    caret=p[8] == "1", text=unhex(p[9])))
                self.texts.setdefault(cid, {})[i] = unhex(p[9])
            elif p[0] == "item":
                self.texts.setdefault(int(p[1]), {})[int(p[2])] = unhex(p[3])
            elif p[0] == "content":
                self.content[int(p[1])] = unhex(p[2])
            elif p[0] == "combo":
                self.combo[int(p[1])] = int(p[2])

    def control(self, name):
        return self.controls[IDS[name]]

    def text(self, name):
        return self.control(name)["text"]

    def value(self, name):
        """What an edit control holds."""
        return self.content.get(IDS[name], b"")

    def list_texts(self, name):
        t = self.texts.get(IDS[name], {})
        return [t[i] for i in sorted(t)]

    def selected(self, name):
        return [r["index"] for r in self.rows.get(IDS[name], []) if r["selected"]]

    def row(self, name, index):
        for r in self.rows.get(IDS[name], []):
            if r["index"] == index:
                return r
        raise e2e.Failure("row %d of %s is not in view" % (index, name))

    def row_centre(self, name, index):
        r = self.row(name, index)
        return r["x"] + min(r["w"], 60) // 2, r["y"] + r["h"] // 2

    def centre(self, name):
        c = self.control(name)
        return c["x"] + c["w"] // 2, c["y"] + c["h"] // 2


def ctl_out(s, *args):
    r = subprocess.run(["wine", os.path.join(s.build, "e2e-wine", "rwctl.exe")] + list(args), env=s.env,
                       cwd=s.dir, capture_output=True, timeout=30)
    return r.returncode, r.stdout.decode("latin-1")


def look(s, title, name=None):
    rc, out = ctl_out(s, "children", "hex:" + ansi(title).hex(), str(IDS[name]) if name else "-1")
    return Dialog(out) if rc == 0 else None


def dialog(s, title, name=None, until=None, what=None, timeout=10):
    """The dialog once it is there (and until(dialog) holds)."""
    def probe():
        d = look(s, title, name)
        if d is None or (until is not None and not until(d)):
            return None
        return d
    return e2e.wait_until(probe, timeout, what or "the window '%s'" % title)


def gone(s, title, name=None, timeout=10):
    e2e.wait_until(lambda: look(s, title, name) is None, timeout, "the window '%s' to close" % title)


def xdo(s, *args):
    subprocess.check_call(["xdotool"] + [str(a) for a in args], env=s.env)


# The X server hands the program its input in order: a click lands after the
# pointer has arrived (--sync waits for that) and after the keys before it.
# What a click or a key does is waited for by the caller, on the window
# itself.
def click(s, point, button=1, repeat=1):
    xdo(s, "mousemove", "--sync", point[0], point[1])
    xdo(s, "click", "--repeat", repeat, "--delay", 120, button)


def keys(s, *names):
    xdo(s, "key", "--delay", 80, *names)


def type_text(s, text):
    xdo(s, "type", "--delay", 50, text)


def drag(s, start, end, steps=8):
    """Press at start, move in steps to end, release: the window search."""
    xdo(s, "mousemove", start[0], start[1])
    time.sleep(0.2)
    xdo(s, "mousedown", 1)
    time.sleep(0.3)
    for i in range(1, steps + 1):
        xdo(s, "mousemove", start[0] + (end[0] - start[0]) * i // steps, start[1] + (end[1] - start[1]) * i // steps)
        time.sleep(0.1)


def release(s):
    time.sleep(0.3)
    xdo(s, "mouseup", 1)
    time.sleep(0.3)


def menu_entry(s, offset):
    e2e.wait_until(lambda: s.tray_icon_state() in ("on", "off"), 10, "the icon in the tray")
    s.click_tray_icon(3)
    x, y, w, h = e2e.wait_until(s.popup_menu_geometry, 10, "the pop-up menu")
    xdo(s, "mousemove", "--sync", x + w // 2, y + offset)
    xdo(s, "click", 1)


def open_settings(s):
    menu_entry(s, MENU_SETTINGS_Y)
    return dialog(s, "Replywick", "lst", until=lambda d: d.foreground, what="the item list window")


def open_about(s):
    menu_entry(s, MENU_ABOUT_Y)
    return dialog(s, "Information", "lblApp", until=lambda d: d.foreground, what="the About window")


def list_rows(s, until=None, what="the list"):
    return dialog(s, "Replywick", "lst", until=until, what=what)


def ini_path(d):
    return os.path.join(d, "replywick.ini")


def descs(text):
    return re.findall(r"\r\nDesc=([^\r]*)\r\n", text)


def free_point(rect, *covers):
    """A point of rect that none of the covering rectangles hides."""
    x, y, w, h = rect
    for fx in (0.5, 0.25, 0.75, 0.1, 0.9):
        for fy in (0.5, 0.3, 0.7, 0.15):
            px, py = int(x + w * fx), int(y + h * fy)
            if not any(cx <= px < cx + cw and cy <= py < cy + ch for cx, cy, cw, ch in covers):
                return px, py
    raise e2e.Failure("the target dialog is hidden")


# ---- cases -------------------------------------------------------------------

def case_settings_user_story(s):
    # From the icon's menu: Settings, Add, the search tool dragged onto a
    # dialog, {Dialog Yes} by double click, OK, OK. The item holds what the
    # tool found, and the next such dialog is answered with Yes.
    d = s.install(ini=e2e.settings())
    rw = s.start_rw()
    text = "Do you want to save the changes?"
    t = s.target(title="Save Changes", text=text, timeout=60000)
    s.wait_log(t, "SHOWN D1")
    size = re.search(r"SHOWN D1 \d+ (\d+x\d+)", e2e.read(t.log_path)).group(1)

    lst = open_settings(s)
    check = e2e.check
    check(lst.topmost and lst.cls == "#32770", "the list window is no topmost dialog")
    check(lst.client[2:] == (390, 235), "list client size %s" % (lst.client[2:],))
    click(s, lst.centre("cmdAdd"))
    ed = dialog(s, "Add Item", "picSearch", until=lambda x: x.foreground, what="the item editor")
    check(ed.client[2:] == (576, 506), "editor client size %s" % (ed.client[2:],))
    check(not look(s, "Replywick", "lst").enabled, "the list window is not disabled under the editor")
    target = dialog(s, "Save Changes")
    aim = free_point(target.rect, ed.rect, lst.rect)
    rest_face = ed.control("picSearch")["image"]

    drag(s, ed.centre("picSearch"), aim)
    during = look(s, "Add Item", "picSearch")
    _, cursor = ctl_out(s, "cursor")
    release(s)
    check(during.control("picSearch")["image"] != rest_face, "the search tool kept its face while dragging")
    check(cursor.split()[0] == "other", "the pointer during the search: %s" % cursor.strip())
    ed = dialog(s, "Add Item", "picSearch", until=lambda x: x.value("txtClass") == b"#32770",
                what="the found window's facts")
    check(ed.control("picSearch")["image"] == rest_face, "the search tool did not get its face back")
    target_exe = e2e.winpath(os.path.join(s.build, "e2e-wine", "rwtarget.exe"))
    check(ed.value("txtTitle") == b"Save Changes", "title %r" % ed.value("txtTitle"))
    check(ed.value("txtText") == ansi(text), "text %r" % ed.value("txtText"))
    check(ed.value("txtModul").decode("cp1252").upper() == target_exe.upper(), "module %r" % ed.value("txtModul"))
    check(ed.value("txtSize") == ansi(size), "size %r, the dialog is %s" % (ed.value("txtSize"), size))

    functions = ed.list_texts("lstMisc")
    check(b"{Dialog Yes}" in functions, "function tokens %r" % functions)
    click(s, ed.row_centre("lstMisc", functions.index(b"{Dialog Yes}")), repeat=2)
    ed = dialog(s, "Add Item", "picSearch", until=lambda x: x.value("txtMacro") == b"{Dialog Yes}",
                what="the token in the macro")
    check(ed.control("txtMacro")["focused"], "the macro box has no focus after the insertion")
    click(s, ed.centre("cmdOK"))
    gone(s, "Add Item")
    lst = list_rows(s, until=lambda x: x.list_texts("lst") == [b"Save Changes", b""], what="the new row")
    click(s, lst.centre("cmdOK"))
    gone(s, "Replywick", "lst")

    ini = e2e.wait_until(lambda: "Desc=Save Changes" in e2e.read(ini_path(d)) and e2e.read(ini_path(d)),
                         10, "the settings file")
    m = re.search(r"\[Item\]\r\nDesc=Save Changes\r\nTitle=Save Changes\r\nTitleTestType=0\r\nClass=#32770\r\n"
                  r"Text=(.*)\r\nModul=(.*)\r\nSize=(.*)\r\nMacro=\{Dialog Yes\}\r\nDelay=0\r\n", ini)
    check(m is not None, "settings file: %r" % ini)
    check(m.group(1) == text and m.group(2).upper() == target_exe.upper() and m.group(3) == size,
          "item fields: %r" % (m.groups(),))

    # The dialog that was searched is answered once it is in front again.
    try:
        s.wait_log(t, "GONE D1", timeout=3)
    except e2e.Failure:
        xdo(s, "search", "--name", "^Save Changes$", "windowactivate")
        s.wait_log(t, "GONE D1")
    check(s.events(t, {"COMMAND", "CHAR"}) == ["COMMAND D1 6"], "events: %s" % s.events(t))
    # And the next one, of a new program run.
    t2 = s.target(log="target2.log", title="Save Changes", text=text)
    s.wait_log(t2, "GONE D1")
    check(s.events(t2, {"COMMAND", "CHAR"}) == ["COMMAND D1 6"], "events: %s" % s.events(t2))
    check(" Hit: Save Changes" in s.debug_lines(rw), "no hit line")


def three_items():
    return e2e.settings(e2e.item("Alpha Title", "{Dialog OK}", desc="Alpha"),
                        e2e.item("Beta Title", "{Dialog No}", desc="Beta", tt=3, delay=100),
                        e2e.item("Gamma Title", "g{ENTER}", desc="Gamma", cls="Other"))


def case_settings_list_commands(s):
    # Edit, Remove, the arrows, Cut, Copy and Paste through the Windows
    # clipboard, by clicks; OK writes the result.
    check = e2e.check
    d = s.install(ini=three_items())
    s.start_rw()
    lst = open_settings(s)
    check(lst.list_texts("lst") == [b"Alpha", b"Beta", b"Gamma", b""], "rows %r" % lst.list_texts("lst"))
    check(lst.selected("lst") == [0], "first selection %r" % lst.selected("lst"))

    # Edit: the name of the second item.
    click(s, lst.row_centre("lst", 1))
    lst = list_rows(s, until=lambda x: x.selected("lst") == [1] and x.control("cmdEdit")["enabled"])
    click(s, lst.centre("cmdEdit"))
    ed = dialog(s, "Edit Item", "txtDesc", until=lambda x: x.foreground, what="the editor")
    check(ed.value("txtDesc") == b"Beta" and ed.value("txtTitle") == b"Beta Title", "fields %r" % ed.content)
    check(ed.combo[IDS["cboTitleTestType"]] == 3, "title test %r" % ed.combo)
    check(ed.list_texts("cboDelay")[ed.combo[IDS["cboDelay"]]] == b"100 ms", "delay %r" % ed.combo)
    type_text(s, "Bee")  # the name box has the focus with its text selected
    click(s, ed.centre("cmdOK"))
    lst = list_rows(s, until=lambda x: x.list_texts("lst")[1] == b"Bee", what="the edited row")

    # Down and up.
    click(s, lst.row_centre("lst", 0))
    lst = list_rows(s, until=lambda x: x.selected("lst") == [0])
    click(s, lst.centre("cmdMoveDown"))
    lst = list_rows(s, until=lambda x: x.list_texts("lst")[:3] == [b"Bee", b"Alpha", b"Gamma"], what="the move down")
    check(lst.selected("lst") == [1], "selection after the move %r" % lst.selected("lst"))
    click(s, lst.centre("cmdMoveUp"))
    lst = list_rows(s, until=lambda x: x.list_texts("lst")[:3] == [b"Alpha", b"Bee", b"Gamma"], what="the move up")

    # Copy Gamma: the clipboard holds its item text.
    click(s, lst.row_centre("lst", 2))
    lst = list_rows(s, until=lambda x: x.selected("lst") == [2])
    click(s, lst.centre("cmdClip1"))
    clip = e2e.wait_until(lambda: b"Desc=Gamma" in unhex(ctl_out(s, "getclip")[1].strip() or "-") and
                          unhex(ctl_out(s, "getclip")[1].strip()), 10, "Gamma on the clipboard")
    check(clip.startswith(b"[Item]\r\nDesc=Gamma\r\nTitle=Gamma Title\r\n"), "clipboard %r" % clip)
    check(look(s, "Replywick", "lst").control("lst")["focused"], "the list lost the focus to the button")

    # Cut Alpha; paste it on the end row: it is appended.
    click(s, lst.row_centre("lst", 0))
    lst = list_rows(s, until=lambda x: x.selected("lst") == [0])
    click(s, lst.centre("cmdClip0"))
    lst = list_rows(s, until=lambda x: x.list_texts("lst") == [b"Bee", b"Gamma", b""], what="the cut")
    check(b"Desc=Alpha" in unhex(ctl_out(s, "getclip")[1].strip()), "Alpha is not on the clipboard")
    click(s, lst.row_centre("lst", 2))
    lst = list_rows(s, until=lambda x: x.selected("lst") == [2] and x.control("cmdClip2")["enabled"])
    check(not lst.control("cmdClip0")["enabled"] and not lst.control("cmdClip1")["enabled"],
          "cut and copy are enabled on the end row")
    click(s, lst.centre("cmdClip2"))
    lst = list_rows(s, until=lambda x: x.list_texts("lst") == [b"Bee", b"Gamma", b"Alpha", b""], what="the paste")

    # Text another program put on the clipboard pastes the same way.
    other = b"[Item]\r\nDesc=From Outside\r\nTitle=Outside\r\nTitleTestType=1\r\nClass=#32770\r\nMacro=o\r\n"
    check(ctl_out(s, "setclip", other.hex())[0] == 0, "could not set the clipboard")
    click(s, lst.row_centre("lst", 0))
    lst = list_rows(s, until=lambda x: x.selected("lst") == [0])
    click(s, lst.centre("cmdClip2"))
    lst = list_rows(s, until=lambda x: x.list_texts("lst")[:2] == [b"From Outside", b"Bee"], what="the outside paste")

    # Remove Bee.
    click(s, lst.row_centre("lst", 1))
    lst = list_rows(s, until=lambda x: x.selected("lst") == [1])
    click(s, lst.centre("cmdDelete"))
    lst = list_rows(s, until=lambda x: x.list_texts("lst") == [b"From Outside", b"Gamma", b"Alpha", b""],
                    what="the removal")

    # A disabled icon button shows its greyed face.
    click(s, lst.row_centre("lst", 3))
    end = list_rows(s, until=lambda x: not x.control("cmdClip0")["enabled"])
    click(s, lst.row_centre("lst", 0))
    first = list_rows(s, until=lambda x: x.control("cmdClip0")["enabled"])
    check(end.control("cmdClip0")["image"] != first.control("cmdClip0")["image"], "cut shows one face only")
    check(first.control("cmdClip0")["style"] & 0x40, "cut is no icon button")  # BS_ICON
    check(not first.control("cmdClip0")["style"] & 0x00010000, "an icon button is a tab stop")

    click(s, lst.centre("cmdOK"))
    gone(s, "Replywick", "lst")
    text = e2e.wait_until(lambda: "From Outside" in e2e.read(ini_path(d)) and e2e.read(ini_path(d)), 10,
                          "the settings file")
    check(descs(text) == ["From Outside", "Gamma", "Alpha"], "items %r" % descs(text))
    check("\r\nDesc=Alpha\r\nTitle=Alpha Title\r\nTitleTestType=0\r\nClass=#32770\r\n" in text,
          "Alpha lost a field: %r" % text)


def case_settings_cancel_keeps_file(s):
    # Cancel (the button, Esc, the title bar's close) leaves the settings
    # file exactly as it was, whatever was changed in the window.
    check = e2e.check
    ini = three_items()
    d = s.install(ini=ini)
    s.start_rw()
    before = open(ini_path(d), "rb").read()
    for how in ("button", "escape", "close box"):
        lst = open_settings(s)
        click(s, lst.centre("cmdAdd"))
        ed = dialog(s, "Add Item", "txtDesc", until=lambda x: x.foreground, what="the editor")
        type_text(s, "Added")
        click(s, ed.centre("cmdOK"))
        lst = list_rows(s, until=lambda x: b"Added" in x.list_texts("lst"), what="the added row")
        click(s, lst.row_centre("lst", 1))
        lst = list_rows(s, until=lambda x: x.selected("lst") == [1])
        click(s, lst.centre("cmdDelete"))
        lst = list_rows(s, until=lambda x: len(x.list_texts("lst")) == 4, what="the removal")
        if how == "button":
            click(s, lst.centre("cmdCancel"))
        elif how == "escape":
            keys(s, "Escape")
        else:
            xdo(s, "mousemove", lst.rect[0] + lst.rect[2] - 12, lst.rect[1] + 10)
            keys(s, "alt+F4")
        gone(s, "Replywick", "lst")
        time.sleep(0.5)
        check(open(ini_path(d), "rb").read() == before, "the settings file changed (%s)" % how)
    # The list is the old one again: OK now writes it unchanged in content.
    lst = open_settings(s)
    check(lst.list_texts("lst") == [b"Alpha", b"Beta", b"Gamma", b""], "rows %r" % lst.list_texts("lst"))
    click(s, lst.centre("cmdOK"))
    gone(s, "Replywick", "lst")


def case_settings_keys(s):
    # The window's keys, typed for real: arrows move the selection, Ctrl+C
    # copies, Delete removes, Ctrl+V pastes, numeric plus adds, numeric
    # minus removes, Enter in the list edits, Esc cancels the editor.
    check = e2e.check
    d = s.install(ini=three_items())
    s.start_rw()
    lst = open_settings(s)
    check(lst.control("lst")["focused"], "the list has no focus")
    keys(s, "Down")
    lst = list_rows(s, until=lambda x: x.selected("lst") == [1], what="Down")
    keys(s, "ctrl+c")
    clip = e2e.wait_until(lambda: unhex(ctl_out(s, "getclip")[1].strip() or "-"), 5, "the clipboard")
    check(clip.startswith(b"[Item]\r\nDesc=Beta\r\n"), "clipboard %r" % clip)
    keys(s, "Delete")
    lst = list_rows(s, until=lambda x: x.list_texts("lst") == [b"Alpha", b"Gamma", b""], what="Delete")
    keys(s, "End")
    lst = list_rows(s, until=lambda x: x.selected("lst") == [2], what="End")
    keys(s, "ctrl+v")
    lst = list_rows(s, until=lambda x: x.list_texts("lst") == [b"Alpha", b"Gamma", b"Beta", b""], what="Ctrl+V")
    keys(s, "Home")
    lst = list_rows(s, until=lambda x: x.selected("lst") == [0], what="Home")
    keys(s, "KP_Add")
    dialog(s, "Add Item", "txtDesc", until=lambda x: x.foreground, what="the editor from numeric plus")
    type_text(s, "Plus")
    keys(s, "Return")  # OK, the default button
    gone(s, "Add Item")
    lst = list_rows(s, until=lambda x: x.list_texts("lst") == [b"Plus", b"Alpha", b"Gamma", b"Beta", b""],
                    what="the added row")
    keys(s, "Down", "Down")
    lst = list_rows(s, until=lambda x: x.selected("lst") == [2], what="Down Down")
    keys(s, "KP_Subtract")
    lst = list_rows(s, until=lambda x: x.list_texts("lst") == [b"Plus", b"Alpha", b"Beta", b""],
                    what="numeric minus")
    keys(s, "Return")
    ed = dialog(s, "Edit Item", "txtDesc", until=lambda x: x.foreground, what="the editor from Enter")
    check(ed.value("txtDesc") == b"Beta", "edits %r" % ed.value("txtDesc"))
    keys(s, "Escape")
    gone(s, "Edit Item")
    lst = list_rows(s, until=lambda x: x.foreground, what="the list in front again")
    check(lst.list_texts("lst") == [b"Plus", b"Alpha", b"Beta", b""], "Esc in the editor changed %r" %
          lst.list_texts("lst"))
    # Ctrl+X cuts; Enter away from the list is OK.
    keys(s, "ctrl+x")
    lst = list_rows(s, until=lambda x: x.list_texts("lst") == [b"Plus", b"Alpha", b""], what="Ctrl+X")
    keys(s, "Tab")
    lst = list_rows(s, until=lambda x: x.control("cmdOK")["focused"], what="the focus on OK")
    keys(s, "Return")
    gone(s, "Replywick", "lst")
    text = e2e.wait_until(lambda: "Desc=Plus" in e2e.read(ini_path(d)) and e2e.read(ini_path(d)), 10,
                          "the settings file")
    check(descs(text) == ["Plus", "Alpha"], "items %r" % descs(text))


LIST_DE = {"cmdOK": "OK", "cmdCancel": "Abbrechen", "cmdAdd": "&Hinzufügen...", "cmdEdit": "&Bearbeiten...",
           "cmdDelete": "&Entfernen", "lblArrange": "Umstellen"}
LIST_EN = dict(LIST_DE, cmdCancel="Cancel", cmdAdd="&Add", cmdEdit="&Edit", cmdDelete="&Remove",
               lblArrange="arrange")
LIST_TIPS_DE = {"cmdOpenSave10": " Aus Datei lesen ", "cmdOpenSave11": " In Datei speichern ",
                "cmdClip0": " Ausschneiden ", "cmdClip1": " Kopieren ", "cmdClip2": " Einfügen ",
                "cmdMoveUp": " Einfügen ", "cmdMoveDown": " Einfügen "}
LIST_TIPS_EN = dict(LIST_TIPS_DE, cmdOpenSave10=" Read from file ", cmdOpenSave11=" Save to file ",
                    cmdClip0=" Cut ", cmdClip1=" Copy ", cmdClip2=" Paste ")
EDITOR_DE = {"fraEntry": "Eintra&g", "lblName": "&Name:", "fraWindow": "Fenster", "lblTitle": "Titel:",
             "lblClass": "Klasse:", "lblText": "Text:", "lblModule": "Modul:", "lblSize": "Größe:",
             "lblSearch": "Suchwerkzeug:", "fraSettings": "&Einstellungen", "lblDelay": "&Verzögerung:",
             "fraMacro": "Macro", "lblKeys": "Ta&sten:", "lblFunctions": "&Funktionen:", "cmdOK": "OK",
             "cmdCancel": "Abbrechen"}
EDITOR_EN = dict(EDITOR_DE, fraEntry="Entry", lblName="&Name", fraWindow="Window", lblTitle="&Title",
                 lblClass="Class", lblText="Text", lblModule="Module", lblSearch="Window Search Tool",
                 lblDelay="&Delay", lblKeys="&Keys", lblFunctions="&Functions", cmdCancel="Cancel")
TITLE_TESTS = ["exakt", "von links", "von rechts", "beliebig"]
EDITOR_TIPS_DE = {"picSearch": "Ziehen Sie das Suchwerkzeug über das gewünschte Fenster, und lassen Sie dann "
                               "die Maustaste los.",
                  "lstKeys": "Doppelklicken zum Einfügen", "lstMisc": "Doppelklicken zum Einfügen"}
ABOUT_DE = {"fraDev": "Entwicklung", "cmdOK": "OK", "lblApp": "Replywick V0.9", "lblBuild": "Build 073"}
ABOUT_EN = dict(ABOUT_DE, fraDev="Development")


def tip_of(s, point):
    """The tooltip a pointer resting on point brings up."""
    xdo(s, "mousemove", point[0] + 3, point[1] + 3)
    time.sleep(0.1)
    xdo(s, "mousemove", point[0], point[1])
    out = e2e.wait_until(lambda: (lambda r: r[0] == 0 and r[1])(ctl_out(s, "tooltip")), 10,
                         "a tooltip at %s" % (point,))
    return unhex(out.split()[4])


def expect_texts(d, want, where):
    for name, text in want.items():
        got = d.text(name)
        e2e.check(got == ansi(text), "%s %s: %r, want %r" % (where, name, got, ansi(text)))


def captions(s, english):
    check = e2e.check
    if not english:
        s.env["LC_ALL"] = "de_DE.UTF-8"
    check(ctl_out(s, "langid")[1].split() == (["0409", "1252"] if english else ["0407", "1252"]),
          "the system language: %s" % ctl_out(s, "langid")[1])
    s.install(ini=three_items())
    rw = s.start_rw()
    lst = open_settings(s)
    check(lst.title == b"Replywick", "list caption %r" % lst.title)
    expect_texts(lst, LIST_EN if english else LIST_DE, "list")
    if not english:
        # "&Hinzufügen..." in Windows-1252, byte for byte.
        check(lst.text("cmdAdd") == bytes.fromhex("26 48 69 6E 7A 75 66 FC 67 65 6E 2E 2E 2E"), "cmdAdd bytes")
    for name, tip in (LIST_TIPS_EN if english else LIST_TIPS_DE).items():
        got = tip_of(s, lst.centre(name))
        check(got == ansi(tip), "tip of %s: %r, want %r" % (name, got, ansi(tip)))
    # The end row selected: cut is disabled, and still shows its tip.
    keys(s, "End")
    lst = list_rows(s, until=lambda x: not x.control("cmdClip0")["enabled"], what="cut disabled")
    got = tip_of(s, lst.centre("cmdClip0"))
    check(got == ansi((LIST_TIPS_EN if english else LIST_TIPS_DE)["cmdClip0"]), "tip of disabled cut %r" % got)

    click(s, lst.centre("cmdAdd"))
    add_caption = "Add Item" if english else "Eintrag hinzufügen"
    ed = dialog(s, add_caption, "picSearch", until=lambda x: x.foreground, what="the editor")
    check(ed.title == ansi(add_caption), "editor caption %r" % ed.title)
    expect_texts(ed, EDITOR_EN if english else EDITOR_DE, "editor")
    check(ed.list_texts("cboTitleTestType") == [ansi(t) for t in TITLE_TESTS], "title tests %r" %
          ed.list_texts("cboTitleTestType"))
    tips = EDITOR_TIPS_DE
    for name in ("lstKeys", "picSearch"):
        got = tip_of(s, ed.centre(name))
        check(got == ansi(tips[name]), "tip of %s: %r" % (name, got))
    keys(s, "Escape")
    gone(s, add_caption)
    lst = list_rows(s, until=lambda x: x.foreground)
    keys(s, "Escape")
    gone(s, "Replywick", "lst")

    about = open_about(s)
    check(about.title == ansi("Information") and about.topmost, "About caption %r" % about.title)
    expect_texts(about, ABOUT_EN if english else ABOUT_DE, "About")
    # No links are configured: both link labels stay hidden.
    check(not about.control("lblLink0")["visible"] and not about.control("lblLink1")["visible"], "links shown")
    click(s, about.centre("cmdOK"))
    gone(s, "Information", "lblApp")
    check(rw.poll() is None, "Replywick ended")


def case_settings_captions_german(s):
    captions(s, english=False)


def case_settings_captions_english(s):
    captions(s, english=True)


def case_about_program_name(s):
    # A click on the program's name tells where the program and its
    # settings file are; the About window stays until OK.
    check = e2e.check
    d = s.install(ini=three_items())
    s.start_rw()
    about = open_about(s)
    check(about.client[2:] == (300, 190), "About client size %s" % (about.client[2:],))
    xdo(s, "mousemove", "--sync", *about.centre("lblApp"))
    e2e.wait_until(lambda: ctl_out(s, "cursor")[1].split()[0] not in ("arrow", "ibeam"), 10,
                   "a pointer over the program's name that shows it can be clicked")
    click(s, about.centre("lblApp"))
    box = dialog(s, "Information", None, until=lambda x: x.hwnd != about.hwnd and x.foreground,
                 what="the message box")
    shown = [c["text"] for c in box.controls.values() if c["cls"].lower() == "static" and c["text"]]
    want = ansi(e2e.winpath(os.path.join(d, "replywick.exe")) + "\n" + e2e.winpath(ini_path(d)))
    check(any(t.replace(b"\r\n", b"\n") == want for t in shown), "message %r, want %r" % (shown, want))
    keys(s, "Return")
    about = dialog(s, "Information", "lblApp", until=lambda x: x.foreground, what="About in front again")
    keys(s, "Escape")
    gone(s, "Information", "lblApp")


def case_settings_close_while_open(s):
    # Replywick is told to close while the list and the editor are open:
    # both close as by Cancel, the program ends, and the settings file gets
    # the list as it was before the window opened. The file starts in
    # another form (LF line ends, a comment of the user's): only a write at
    # the end puts it into the program's own.
    check = e2e.check
    d = s.install(ini=three_items().replace("\r\n", "\n"))
    rw = s.start_rw()
    lst = open_settings(s)
    keys(s, "Delete")
    list_rows(s, until=lambda x: len(x.list_texts("lst")) == 3, what="the removal")
    click(s, lst.centre("cmdAdd"))
    dialog(s, "Add Item", "txtDesc", until=lambda x: x.foreground, what="the editor")
    type_text(s, "Never Confirmed")
    check(s.ctl("close") == 0, "could not post WM_CLOSE")
    rw.wait(timeout=20)
    lines = s.debug_lines(rw)
    check(lines.count("Replywick end -------------") == 1, "end lines: %s" % lines[-5:])
    text = e2e.read(ini_path(d))
    check(descs(text) == ["Alpha", "Beta", "Gamma"], "items %r" % descs(text))
    check(text.startswith("; Replywick\r\n\r\n\r\n[Item]\r\nDesc=Alpha\r\n") and "\n" not in text.replace("\r\n", ""),
          "the settings file was not written at the end: %r" % text[:120])
    check(s.ctl("wait-gone", "5000") == 0, "the main window is still there")


def case_manifest(s):
    # The manifest compiled into the program: it runs as the user who
    # starts it, with the version 6 controls, aware of each monitor's dpi.
    check = e2e.check
    rc, text = ctl_out(s, "manifest", e2e.winpath(os.path.join(s.build, "replywick.exe")))
    check(rc == 0, "no manifest resource 1")
    for needle in ('level="asInvoker"', 'uiAccess="false"', 'name="Microsoft.Windows.Common-Controls"',
                   'version="6.0.0.0"', 'publicKeyToken="6595b64144ccf1df"', ">true/pm</dpiAware>",
                   ">PerMonitorV2,PerMonitor</dpiAwareness>"):
        check(needle in text, "%s not in the manifest:\n%s" % (needle, text))
    # And the program runs with it.
    s.install(ini=e2e.settings(e2e.item("With Manifest", "{Dialog Yes}")))
    s.start_rw()
    t = s.target(title="With Manifest")
    s.wait_log(t, "GONE D1")
    check(s.events(t, {"COMMAND"}) == ["COMMAND D1 6"], "events: %s" % s.events(t))


def case_elevated_target_skipped(s):
    # Replywick runs with the user's limited token; a dialog of a program
    # that runs elevated would ignore its input, so it is skipped with a
    # debug line. A dialog of a program at Replywick's own level is answered.
    check = e2e.check
    check(ctl_out(s, "elevated")[1].strip() == "elevated", "programs under Wine do not start elevated here")
    s.install(ini=e2e.settings(e2e.item("Admin Dialog", "{Dialog Yes}"), e2e.item("User Dialog", "{Dialog Yes}")))
    rw = s.start_rw(limited=True)
    t = s.target(title="Admin Dialog", timeout=15000)
    s.wait_log(t, "SHOWN D1")
    e2e.wait_until(lambda: any(l.startswith(" Not played: 'Admin Dialog' runs as administrator")
                               for l in s.debug_lines(rw)), 10, "the skip line")
    time.sleep(1.5)  # three polling rounds
    check(s.events(t, {"COMMAND", "CHAR", "KEYDOWN"}) == [], "the elevated dialog received %s" % s.events(t))
    check(sum(l.startswith(" Not played: 'Admin Dialog'") for l in s.debug_lines(rw)) == 1,
          "examined more than once per visit")
    check(not any(l.startswith("  SendKeys") for l in s.debug_lines(rw)), "a macro was played")
    t2 = s.target(log="target2.log", title="User Dialog", limited=True)
    s.wait_log(t2, "GONE D1")
    check(s.events(t2, {"COMMAND"}) == ["COMMAND D1 6"], "events: %s" % s.events(t2))


def case_settings_high_dpi(s):
    # At 144 dots per inch (one and a half times 96) the windows and their
    # controls grow with the system's scale: twips are 10 to a pixel.
    check = e2e.check
    key = "HKCU\\Control Panel\\Desktop"
    reg = ["wine", "reg"]
    subprocess.check_call(reg + ["add", key, "/v", "LogPixels", "/t", "REG_DWORD", "/d", "144", "/f"], env=s.env,
                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        s.install(ini=three_items())
        s.start_rw()
        lst = open_settings(s)
        check(lst.client[2:] == (585, 353), "list client size %s" % (lst.client[2:],))
        c = lst.control("cmdAdd")
        check((c["w"], c["h"]) == (140, 42) and c["x"] - lst.client[0] == 432, "Add at %s" % c)
        c = lst.control("cmdClip0")
        check((c["w"], c["h"]) == (36, 36), "cut button %s" % c)
        click(s, lst.centre("cmdAdd"))
        ed = dialog(s, "Add Item", "picSearch", until=lambda x: x.foreground, what="the editor")
        check(ed.client[2:] == (864, 759), "editor client size %s" % (ed.client[2:],))
        keys(s, "Escape")
        gone(s, "Add Item")
        keys(s, "Escape")
        gone(s, "Replywick", "lst")
        about = open_about(s)
        check(about.client[2:] == (450, 285), "About client size %s" % (about.client[2:],))
        keys(s, "Escape")
        gone(s, "Information", "lblApp")
    finally:
        # The prefix serves the other cases at 96 dpi.
        subprocess.call(reg + ["delete", key, "/v", "LogPixels", "/f"], env=s.env, stdout=subprocess.DEVNULL,
                        stderr=subprocess.DEVNULL)


def case_settings_tab_order(s):
    # Tab walks the controls in the windows' order; the icon buttons are no
    # stops.
    check = e2e.check
    s.install(ini=three_items())
    s.start_rw()

    def walk(title, name, order):
        for want in order:
            keys(s, "Tab")
            d = dialog(s, title, name)
            got = [n for n, i in IDS.items() if i in d.controls and d.controls[i]["focused"]]
            check(want in got, "Tab in %s reached %s, want %s" % (title, got, want))

    lst = open_settings(s)
    check(lst.control("lst")["focused"], "the list has no focus at first")
    walk("Replywick", "lst", ["cmdOK", "cmdCancel", "cmdAdd", "cmdEdit", "cmdDelete", "lst"])
    keys(s, "KP_Add")
    ed = dialog(s, "Add Item", "picSearch", until=lambda x: x.foreground, what="the editor")
    check(ed.control("txtDesc")["focused"], "the name has no focus at first")
    walk("Add Item", "picSearch", ["txtTitle", "cboTitleTestType", "txtClass", "txtText", "txtModul", "txtMacro",
                                    "lstKeys", "cmdOK", "cmdCancel", "txtSize", "lstMisc", "cboDelay", "txtDesc"])
    keys(s, "Escape")
    gone(s, "Add Item")


def take_screenshots(s, out_dir, lang):
    """The three windows as shown, into out_dir/*-win-LANG.png."""
    if lang == "de":
        s.env["LC_ALL"] = "de_DE.UTF-8"
    s.install(ini=e2e.settings(
        e2e.item("Save Changes", "{Dialog Yes}", desc="Save changes: Yes", text="Do you want to save"),
        e2e.item("Confirm File Replace", "{Dialog Yes}", desc="Replace file", tt=1),
        e2e.item("Microsoft Internet Explorer", "{ENTER}", desc="Browser notice", delay=500)))
    s.start_rw()

    def shot(d, name):
        x, y, w, h = d.rect
        xdo(s, "mousemove", 5, 790)  # no pointer, no tooltip in the picture
        time.sleep(0.6)
        path = os.path.join(out_dir, "%s-win-%s.png" % (name, lang))
        subprocess.check_call(["import", "-window", "root", "-crop", "%dx%d+%d+%d" % (w, h, x, y), "+repage", path],
                              env=s.env)
        print("wrote", path)

    lst = open_settings(s)
    shot(lst, "list")
    click(s, lst.row_centre("lst", 0))
    lst = list_rows(s, until=lambda x: x.control("cmdEdit")["enabled"])
    click(s, lst.centre("cmdEdit"))
    edit_caption = "Eintrag bearbeiten" if lang == "de" else "Edit Item"
    ed = dialog(s, edit_caption, "picSearch", until=lambda x: x.foreground, what="the editor")
    shot(ed, "editor")
    keys(s, "Escape")
    gone(s, edit_caption)
    keys(s, "Escape")
    gone(s, "Replywick", "lst")
    about = open_about(s)
    shot(about, "about")
    keys(s, "Escape")


def cases(module):
    """The cases of this file, for the harness module given."""
    global e2e
    e2e = module
    IDS.clear()
    IDS.update(control_ids())
    return {name[5:]: fn for name, fn in globals().items() if name.startswith("case_")}
