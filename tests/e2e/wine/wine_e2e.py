#!/usr/bin/env python3
"""End-to-end tests of replywick.exe under Wine on Xvfb with openbox.

  wine_e2e.py --build DIR --work DIR prefix      make a fresh Wine prefix
  wine_e2e.py --build DIR --work DIR run CASE    run one case (see CASES)
  wine_e2e.py --build DIR --work DIR list        names of the cases
  wine_e2e.py --build DIR --work DIR screenshots OUT
                                                 pictures of the settings
                                                 windows, German and English

Every case gets its own X server, window manager and tray, its own copy of
replywick.exe with its own settings file, and the logging dialog program
rwtarget.exe; the case reads the target's log and Replywick's debug lines
(OutputDebugString, which Wine prints with WINEDEBUG=warn+debugstr).
"""
import argparse
import os
import re
import shutil
import signal
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))


class Failure(Exception):
    pass


def check(cond, what):
    if not cond:
        raise Failure(what)


def wait_until(pred, timeout, what):
    end = time.monotonic() + timeout
    while True:
        v = pred()
        if v:
            return v
        if time.monotonic() > end:
            raise Failure("timed out waiting for " + what)
        time.sleep(0.05)


def winpath(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def item(title, macro, desc="item", tt=0, cls="#32770", text="", modul="", size="", delay=0):
    return (
        "[Item]\r\nDesc=%s\r\nTitle=%s\r\nTitleTestType=%d\r\nClass=%s\r\nText=%s\r\n"
        "Modul=%s\r\nSize=%s\r\nMacro=%s\r\nDelay=%d\r\n" % (desc, title, tt, cls, text, modul, size, macro, delay)
    )


def settings(*items):
    return "; test settings\r\n\r\n" + "\r\n".join(items)


class Session:
    """X server, window manager, tray and the Wine prefix of one case."""

    def __init__(self, args, case):
        self.build = os.path.abspath(args.build)
        self.prefix = os.path.join(os.path.abspath(args.work), "prefix")
        self.dir = os.path.join(os.path.abspath(args.work), "cases", case)
        self.display = args.display
        self.procs = []
        self.env = dict(os.environ)
        self.env.update(
            WINEPREFIX=self.prefix,
            WINEDEBUG="-all,warn+debugstr",
            WINEDLLOVERRIDES="mscoree,mshtml=",
            DISPLAY=self.display,
            # English Windows, ANSI code page 1252, whatever the machine's own
            # language. File names are read as UTF-8 through C.UTF-8, which
            # every glibc has: without a generated en_US.UTF-8 locale Wine
            # would otherwise take them as ASCII and fail to open a path with
            # an umlaut in it.
            LANG="en_US.UTF-8",
            LC_CTYPE="C.UTF-8",
        )
        for name in ("WAYLAND_DISPLAY", "LC_ALL", "LANGUAGE"):
            self.env.pop(name, None)
        shutil.rmtree(self.dir, ignore_errors=True)
        os.makedirs(self.dir)
        self.logs = 0

    # ---- processes ------------------------------------------------------
    def spawn(self, argv, log_name, cwd=None):
        # The child keeps its own copy of the log's descriptor.
        with open(os.path.join(self.dir, log_name), "ab") as out:
            p = subprocess.Popen(argv, env=self.env, cwd=cwd or self.dir, stdout=out, stderr=subprocess.STDOUT,
                                 start_new_session=True)
        self.procs.append(p)
        return p

    def start_desktop(self, tray=True):
        n = self.display.lstrip(":")
        lock = "/tmp/.X%s-lock" % n
        if os.path.exists(lock) and not self.lock_owner_alive(lock):
            # Left behind by a run that was killed.
            for stale in (lock, "/tmp/.X11-unix/X" + n):
                try:
                    os.remove(stale)
                except OSError:
                    pass
        if os.path.exists("/tmp/.X11-unix/X" + n) or os.path.exists(lock):
            raise Failure("display %s is in use" % self.display)
        # -noreset: the server would otherwise reset, and refuse the window
        # manager for a moment, when its first client (xdpyinfo) leaves.
        self.spawn(["Xvfb", self.display, "-screen", "0", "1280x800x24", "-nolisten", "tcp", "-noreset"], "xvfb.log")
        wait_until(lambda: os.path.exists("/tmp/.X11-unix/X" + n), 10, "Xvfb")
        wait_until(lambda: subprocess.call(["xdpyinfo"], env=self.env, stdout=subprocess.DEVNULL,
                                           stderr=subprocess.DEVNULL) == 0, 10, "the X server to answer")
        self.spawn(["openbox"], "openbox.log")

        def x_says(cmd, needle):
            return needle in subprocess.run(cmd, env=self.env, capture_output=True, text=True).stdout

        wait_until(lambda: x_says(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], "window id"), 10,
                   "openbox to manage the screen")
        if tray:
            self.spawn(["trayer", "--edge", "top", "--align", "right", "--widthtype", "pixel", "--width", "100",
                        "--heighttype", "pixel", "--height", "24"], "trayer.log")
            wait_until(lambda: x_says(["xwininfo", "-root", "-tree"], '"panel"'), 10, "the tray host")

    @staticmethod
    def lock_owner_alive(lock):
        try:
            pid = int(read(lock).strip())
            os.kill(pid, 0)
            return True
        except (ValueError, ProcessLookupError):
            return False
        except PermissionError:
            return True

    def stop(self):
        subprocess.call(["wineserver", "-k"], env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for p in reversed(self.procs):
            if p.poll() is None:
                try:
                    os.killpg(p.pid, signal.SIGTERM)
                except ProcessLookupError:
                    pass
        for p in self.procs:
            try:
                p.wait(timeout=5)
            except subprocess.TimeoutExpired:
                os.killpg(p.pid, signal.SIGKILL)
        # A wineserver that hangs must not eat the whole test's time-out.
        try:
            subprocess.call(["wineserver", "-w"], env=self.env, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL, timeout=30)
        except subprocess.TimeoutExpired:
            pass

    # ---- Replywick ------------------------------------------------------
    def install(self, exe="replywick.exe", folder="app", ini=None, ini_name=None):
        d = os.path.join(self.dir, folder)
        os.makedirs(d, exist_ok=True)
        shutil.copy(os.path.join(self.build, exe), d)
        if ini is not None:
            name = ini_name or os.path.splitext(exe)[0] + ".ini"
            with open(os.path.join(d, name), "wb") as f:
                f.write(ini.encode("latin-1"))
        return d

    def limited(self, argv):
        """argv (a Windows program and its arguments) run with the user's
        limited token, as a program started without elevation."""
        line = " ".join('"%s"' % a if " " in a or not a else a for a in [winpath(argv[0])] + list(argv[1:]))
        return ["wine", os.path.join(self.build, "e2e-wine", "rwctl.exe"), "limited", line]

    def start_rw(self, args=("/d",), exe="replywick.exe", folder="app", cwd=None, wait=True, limited=False):
        d = os.path.join(self.dir, folder)
        self.logs += 1
        name = "rw%d.log" % self.logs
        argv = [os.path.join(d, exe)] + list(args)
        p = self.spawn(self.limited(argv) if limited else ["wine"] + argv, name, cwd=cwd or d)
        p.log_path = os.path.join(self.dir, name)
        if wait:
            check(self.ctl("wait-main", "15000") == 0, "the main window did not appear")
            wait_until(lambda: "Replywick started" in read(p.log_path) or "/d" not in args, 10, "start-up")
        return p

    def ctl(self, *args):
        return subprocess.call(["wine", os.path.join(self.build, "e2e-wine", "rwctl.exe")] + list(args),
                               env=self.env, cwd=self.dir, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                               timeout=30)

    def debug_lines(self, p):
        return [m.group(1) for m in re.finditer(r'OutputDebugStringA "(.*)"', read(p.log_path))]

    # ---- the target -----------------------------------------------------
    def target(self, log="target.log", exe=None, limited=False, **opts):
        self.logs += 1
        path = os.path.join(self.dir, log)
        argv = [exe or os.path.join(self.build, "e2e-wine", "rwtarget.exe"), "log=" + winpath(path)]
        argv += ["%s=%s" % (k, v) for k, v in opts.items()]
        p = self.spawn(self.limited(argv) if limited else ["wine"] + argv, "target%d.out" % self.logs)
        p.log_path = path
        return p

    def events(self, t, kinds=None):
        out = []
        for line in read(t.log_path).splitlines():
            parts = line.split()
            if len(parts) < 2:
                continue
            if kinds is None or parts[1] in kinds:
                out.append(" ".join(parts[1:]))
        return out

    def wait_log(self, t, needle, timeout=15):
        return wait_until(lambda: needle in read(t.log_path), timeout, "'%s' in the target log" % needle)

    def tray_icon_state(self):
        """'on' or 'off' from the pixels of our icon in the X tray."""
        png = os.path.join(self.dir, "tray.txt")
        subprocess.check_call(["import", "-window", "root", "-crop", "100x24+1180+0", "-depth", "8", "txt:" + png],
                              env=self.env)
        text = read(png)
        red = len(re.findall(r"#FF0000", text, re.I))
        grey = len(re.findall(r"#C0C0C0", text, re.I))
        if grey == 0:
            return "none"
        return "off" if red > 0 else "on"

    def popup_menu_geometry(self):
        """x, y, width, height of Replywick's pop-up menu while it is open."""
        out = subprocess.run(["xwininfo", "-root", "-tree"], env=self.env, capture_output=True,
                             text=True).stdout
        for line in out.splitlines():
            m = re.search(r'\(has no name\): \("replywick[^"]*" "[^"]*"\)\s+(\d+)x(\d+)\+(-?\d+)\+(-?\d+)', line)
            if m and int(m.group(2)) > 40:
                w, h, x, y = map(int, m.groups())
                return (x, y, w, h)
        return None

    def click_tray_icon(self, button=1):
        # trayer sits at the top right; our icon is the only one in it.
        subprocess.check_call(["xdotool", "mousemove", "1269", "12", "click", str(button)], env=self.env)


def read(path):
    try:
        with open(path, "rb") as f:
            return f.read().decode("latin-1")
    except FileNotFoundError:
        return ""


# ---- the cases -------------------------------------------------------------

def case_dialog_yes(s):
    s.install(ini=settings(item("Confirm Yes", "{Dialog Yes}")))
    rw = s.start_rw()
    t = s.target(title="Confirm Yes")
    s.wait_log(t, "GONE D1")
    check(s.events(t, {"CHAR", "KEYDOWN", "COMMAND", "CLOSE", "GONE"}) == ["COMMAND D1 6", "GONE D1 answered"],
          "events: %s" % s.events(t))
    check(" Hit: Confirm Yes" in s.debug_lines(rw), "no hit line")


def case_edit_then_enter(s):
    s.install(ini=settings(item("Type Here", "Hello 1{ENTER}", cls="#32770", text="Please type")))
    s.start_rw()
    t = s.target(title="Type Here", text="Please type your name")
    s.wait_log(t, "GONE D1")
    got = s.events(t, {"CHAR", "KEYDOWN", "COMMAND"})
    want = ["CHAR D1 %d" % ord(c) for c in "Hello 1"] + ["KEYDOWN D1 0D", "COMMAND D1 1"]
    check(got == want, "events: %s" % got)


def case_named_keys_in_order(s):
    macro = "{HOME}{SHIFT}{END}{DEL}ab{LEFT}{BACK}{Dialog Cancel}"
    s.install(ini=settings(item("Keys", macro)))
    s.start_rw()
    t = s.target(title="Keys")
    s.wait_log(t, "GONE D1")
    got = s.events(t, {"CHAR", "KEYDOWN", "KEYUP", "COMMAND"})
    downs = [e for e in got if e.startswith(("KEYDOWN", "CHAR", "COMMAND"))]
    # Backspace also arrives as the character 8, as a real key press does.
    check(downs == ["KEYDOWN D1 24", "KEYDOWN D1 10", "KEYDOWN D1 23", "KEYDOWN D1 2E", "CHAR D1 97",
                    "CHAR D1 98", "KEYDOWN D1 25", "KEYDOWN D1 08", "CHAR D1 8", "COMMAND D1 2"],
          "order: %s" % got)
    # Shift is held for End only: released after End goes up, before Delete.
    i_end_up = got.index("KEYUP D1 23")
    i_shift_up = got.index("KEYUP D1 10")
    i_del = got.index("KEYDOWN D1 2E")
    check(i_end_up < i_shift_up < i_del, "shift release out of place: %s" % got)


def case_many_keys_all_arrive(s):
    # Every injected key reaches the dialog, though the player looks at the
    # target's focus (sharing its input state for a moment) right after
    # each one, often before the dialog has read the key.
    n = 40
    s.install(ini=settings(item("Many Keys", "{RIGHT}" * n + "{Dialog Cancel}")))
    s.start_rw()
    t = s.target(title="Many Keys")
    s.wait_log(t, "GONE D1")
    got = s.events(t, {"KEYDOWN", "KEYUP", "COMMAND"})
    check(got == ["KEYDOWN D1 27", "KEYUP D1 27"] * n + ["COMMAND D1 2"],
          "%d key downs, %d key ups: %s" % (got.count("KEYDOWN D1 27"), got.count("KEYUP D1 27"), got))


def case_window_minimize(s):
    s.install(ini=settings(item("Minimize Me", "{Window Minimize}")))
    s.start_rw()
    t = s.target(title="Minimize Me", timeout=8000)
    s.wait_log(t, "MINIMIZED D1")
    check(s.events(t, {"CHAR", "KEYDOWN", "COMMAND", "CLOSE"}) == [], "events: %s" % s.events(t))


def case_module_and_size(s):
    target_exe = winpath(os.path.join(s.build, "e2e-wine", "rwtarget.exe"))
    s.install(ini=settings(
        item("Sized", "{Dialog No}", desc="other program", modul="C:\\Program Files\\other\\other.exe"),
        item("Sized", "{Dialog Retry}", desc="other size", size="401x220"),
        item("Sized", "{Dialog Yes}", desc="this one", modul=target_exe.upper(), size="400x220"),
        item("Sized", "{Dialog Cancel}", desc="later"),
    ))
    s.start_rw()
    t = s.target(title="Sized", size="400x220")
    s.wait_log(t, "GONE D1")
    check("SHOWN D1" in read(t.log_path) and "400x220" in read(t.log_path), "the target has another size")
    check(s.events(t, {"COMMAND", "CHAR"}) == ["COMMAND D1 6"], "events: %s" % s.events(t))


def case_module_case_beyond_ascii(s):
    # The program's path holds a letter outside ASCII (u-umlaut, one byte
    # in the ANSI code page 1252); the item names it in capitals.
    folder = os.path.join(s.dir, "B\u00fcro")
    os.makedirs(folder)
    exe = os.path.join(folder, "rwtarget.exe")
    shutil.copy(os.path.join(s.build, "e2e-wine", "rwtarget.exe"), exe)
    upper = winpath(exe).upper()
    check("\u00dc" in upper, "no capital u-umlaut in %r" % upper)
    s.install(ini=settings(
        item("Umlaut", "{Dialog No}", desc="plain U", modul=upper.replace("\u00dc", "U")),
        item("Umlaut", "{Dialog Yes}", desc="capital u-umlaut", modul=upper),
        item("Umlaut", "{Dialog Cancel}", desc="any program"),
    ))
    s.start_rw()
    t = s.target(title="Umlaut", exe=exe)
    s.wait_log(t, "GONE D1")
    # Yes: the second item; No would be a match that ignores the umlaut,
    # Cancel a module comparison that failed.
    check(s.events(t, {"COMMAND", "CHAR"}) == ["COMMAND D1 6"], "events: %s" % s.events(t))


def case_first_match_wins(s):
    s.install(ini=settings(
        item("First", "{Dialog No}", desc="from the left", tt=1),
        item("First match", "{Dialog Yes}", desc="exact"),
    ))
    s.start_rw()
    t = s.target(title="First match")
    s.wait_log(t, "GONE D1")
    check(s.events(t, {"COMMAND", "CHAR"}) == ["COMMAND D1 7"], "events: %s" % s.events(t))


def case_delay_dialog_closes(s):
    s.install(ini=settings(item("Slow", "zz{ENTER}", delay=2000)))
    rw = s.start_rw()
    # The dialog closes itself after 0.5 s; the witness window behind it
    # comes to the foreground and must not receive anything either.
    t = s.target(title="Slow", autoclose=500, witness=1, linger=3000)
    s.wait_log(t, "END", timeout=20)
    check(" Hit: Slow" in s.debug_lines(rw), "the dialog was not matched")
    got = s.events(t, {"CHAR", "KEYDOWN", "COMMAND", "CLOSE"})
    check(got == [], "something was sent: %s" % got)
    check("  SendKeys: zz{ENTER}" not in s.debug_lines(rw), "the macro was played")


def case_focus_moves_during_macro(s):
    # The user brings another window to the front while the macro waits.
    # The key event after the pause would land in that window, so playback
    # stops there; the characters before it were posted to the dialog.
    s.install(ini=settings(item("Focus Moves", "ab{DELAY=2500}{ENTER}x")))
    rw = s.start_rw()
    t = s.target(title="Focus Moves", witness=1, witnesstitle="Other Front", timeout=9000)
    s.wait_log(t, "CHAR D1 98")
    subprocess.check_call(["xdotool", "search", "--name", "^Other Front$", "windowactivate"], env=s.env)
    wait_until(lambda: any(l.startswith("   SendKeys ") for l in s.debug_lines(rw)), 10, "the end of the macro")
    time.sleep(0.5)  # a key event would have arrived by now
    got = s.events(t, {"CHAR", "KEYDOWN", "KEYUP", "COMMAND", "CLOSE"})
    check([e for e in got if e.endswith(" W") or " W " in e] == [], "the other window received: %s" % got)
    check([e for e in got if " D1 " in e or e.endswith(" D1")] == ["CHAR D1 97", "CHAR D1 98"],
          "the dialog received: %s" % got)
    check(any("SendKeys stopped" in l for l in s.debug_lines(rw)), "no stop line: %s" % s.debug_lines(rw))
    # The other window really was in front (the watcher looks at it once
    # the macro is over).
    wait_until(lambda: "NewFG: 'Other Front'" in s.debug_lines(rw), 5, "the other window in front")


def case_bare_modifier_at_end_released(s):
    # A macro that ends in a modifier leaves no key held down.
    s.install(ini=settings(item("Ctrl Last", "abc{CTRL}")))
    rw = s.start_rw()
    t = s.target(title="Ctrl Last", timeout=4000)
    s.wait_log(t, "KEYDOWN D1 11")
    wait_until(lambda: any(l.startswith("   SendKeys ") for l in s.debug_lines(rw)), 10, "the end of the macro")
    s.wait_log(t, "GONE D1")
    got = s.events(t, {"CHAR", "KEYDOWN", "KEYUP"})
    check(got[:4] == ["CHAR D1 97", "CHAR D1 98", "CHAR D1 99", "KEYDOWN D1 11"], "events: %s" % got)
    check("KEYUP D1 11" in got[4:], "Ctrl was not released: %s" % got)
    check(s.events(t, {"HELD"}) == ["HELD D1 none"], "held as the dialog went: %s" % s.events(t, {"HELD"}))


def case_no_match(s):
    s.install(ini=settings(item("Something else", "{Dialog Yes}"), item("Nothing", "{Dialog Yes}", cls="Other")))
    rw = s.start_rw()
    t = s.target(title="Nothing", timeout=4000)
    wait_until(lambda: "NewFG: 'Nothing'" in s.debug_lines(rw), 10, "the dialog to be examined")
    # The answer would come right after the examination; give it time.
    time.sleep(1.0)
    check(s.events(t, {"CHAR", "KEYDOWN", "COMMAND"}) == [], "events: %s" % s.events(t))
    check(not any(l.startswith(" Hit:") for l in s.debug_lines(rw)), "a hit")


def case_active_off_by_icon_click(s):
    s.install(ini=settings(item("While Off", "{Dialog Yes}")))
    rw = s.start_rw()
    wait_until(lambda: s.tray_icon_state() == "on", 10, "the active icon in the tray")
    s.click_tray_icon(1)
    wait_until(lambda: s.tray_icon_state() == "off", 10, "the inactive icon")
    t = s.target(title="While Off", timeout=15000)
    s.wait_log(t, "SHOWN D1")
    time.sleep(1.5)  # three polling rounds
    check(s.events(t, {"COMMAND", "CHAR", "KEYDOWN"}) == [], "answered while off: %s" % s.events(t))
    check("NewFG: 'While Off'" not in s.debug_lines(rw), "examined while off")
    # Switched on again: the click made the tray the foreground window, so
    # the dialog is answered once it is in front again.
    s.click_tray_icon(1)
    wait_until(lambda: s.tray_icon_state() == "on", 10, "the active icon")
    subprocess.check_call(["xdotool", "search", "--name", "^While Off$", "windowactivate"], env=s.env)
    s.wait_log(t, "GONE D1")
    check(s.events(t, {"COMMAND"}) == ["COMMAND D1 6"], "events: %s" % s.events(t))
    check(s.tray_icon_state() == "on", "the icon did not come back on")


def case_icon_back_after_shell_restart(s):
    # With Active off, a restarted shell gets the inactive icon back, and
    # the watcher stays off until the next toggle.
    s.install(ini=settings(item("Restarted", "{Dialog Yes}")))
    rw = s.start_rw()
    wait_until(lambda: s.tray_icon_state() == "on", 10, "the active icon")
    s.click_tray_icon(1)
    wait_until(lambda: s.tray_icon_state() == "off", 10, "the inactive icon")
    check(s.ctl("trayremove") == 0, "could not remove the icon")
    wait_until(lambda: s.tray_icon_state() == "none", 10, "the icon to go")
    check(s.ctl("taskbarcreated") == 0, "could not post TaskbarCreated")
    wait_until(lambda: s.tray_icon_state() == "off", 10, "the icon to come back inactive")
    t = s.target(title="Restarted", timeout=15000)
    s.wait_log(t, "SHOWN D1")
    time.sleep(1.5)
    check(s.events(t, {"COMMAND"}) == [], "answered while off")
    check("NewFG: 'Restarted'" not in s.debug_lines(rw), "examined while off")
    # The icon that came back is the program's: a click on it switches the
    # watcher on, and the dialog is answered once it is in front again.
    s.click_tray_icon(1)
    wait_until(lambda: s.tray_icon_state() == "on", 10, "the icon to answer a click")
    subprocess.check_call(["xdotool", "search", "--name", "^Restarted$", "windowactivate"], env=s.env)
    s.wait_log(t, "GONE D1")
    check(s.events(t, {"COMMAND"}) == ["COMMAND D1 6"], "events: %s" % s.events(t))


def case_menu_active_entry(s):
    s.install(ini=settings(item("Menu Off", "{Dialog Yes}")))
    rw = s.start_rw()
    wait_until(lambda: s.tray_icon_state() == "on", 10, "the icon in the tray")
    s.click_tray_icon(3)
    x, y, w, h = wait_until(s.popup_menu_geometry, 10, "the pop-up menu")
    # Entries: About, Settings, separator, Active, separator, Close.
    subprocess.check_call(["xdotool", "mousemove", str(x + w // 2), str(y + h - 37), "click", "1"], env=s.env)
    wait_until(lambda: s.tray_icon_state() == "off", 10, "the inactive icon")
    t = s.target(title="Menu Off", timeout=15000)
    s.wait_log(t, "SHOWN D1")
    time.sleep(1.5)
    check(s.events(t, {"COMMAND"}) == [], "answered while off")
    check("NewFG: 'Menu Off'" not in s.debug_lines(rw), "examined while off")
    # The same entry switches it on again, and the dialog is answered once
    # it is in front again.
    s.click_tray_icon(3)
    x, y, w, h = wait_until(s.popup_menu_geometry, 10, "the pop-up menu")
    subprocess.check_call(["xdotool", "mousemove", str(x + w // 2), str(y + h - 37), "click", "1"], env=s.env)
    wait_until(lambda: s.tray_icon_state() == "on", 10, "the active icon")
    subprocess.check_call(["xdotool", "search", "--name", "^Menu Off$", "windowactivate"], env=s.env)
    s.wait_log(t, "GONE D1")
    check(s.events(t, {"COMMAND"}) == ["COMMAND D1 6"], "events: %s" % s.events(t))


def case_menu_close_writes_settings(s):
    ini = "; mine\n[Item]\nDesc=kept\nTitle=Kept\nClass=#32770\nMacro={Dialog OK}\nDelay=0\n"
    d = s.install(ini=ini)
    rw = s.start_rw()
    wait_until(lambda: s.tray_icon_state() == "on", 10, "the icon in the tray")
    s.click_tray_icon(3)
    x, y, w, h = wait_until(s.popup_menu_geometry, 10, "the pop-up menu")
    # The last entry is Close.
    subprocess.check_call(["xdotool", "mousemove", str(x + w // 2), str(y + h - 11), "click", "1"], env=s.env)
    rw.wait(timeout=15)
    check("Replywick end -------------" in s.debug_lines(rw), "no end line")
    text = read(os.path.join(d, "replywick.ini"))
    check(text != ini, "the settings file was not rewritten")
    check("\r\n[Item]\r\nDesc=kept\r\nTitle=Kept\r\n" in text and "Macro={Dialog OK}\r\n" in text,
          "settings file: %r" % text)
    check(s.ctl("wait-gone", "5000") == 0, "the main window is still there")


def case_close_message_writes_settings(s):
    ini = "[Item]\nDesc=one\nTitle=One\nClass=#32770\nMacro=x\n"
    d = s.install(ini=ini)
    rw = s.start_rw()
    check(s.ctl("close") == 0, "could not post WM_CLOSE")
    rw.wait(timeout=15)
    text = read(os.path.join(d, "replywick.ini"))
    check("\r\nDesc=one\r\nTitle=One\r\n" in text, "settings file: %r" % text)
    check(not [f for f in os.listdir(d) if f not in ("replywick.exe", "replywick.ini")],
          "left-overs: %s" % os.listdir(d))


def case_read_only_settings_kept(s):
    # A settings file the user made read-only stays exactly as it is, though
    # the folder would let a new file be renamed over it. Wine shows a file
    # without write permission as FILE_ATTRIBUTE_READONLY.
    ini = settings(item("Read Only", "{Dialog Yes}", desc="frozen"))
    d = s.install(ini=ini)
    path = os.path.join(d, "replywick.ini")
    os.chmod(path, 0o444)
    before = os.stat(path)
    rw = s.start_rw()
    check(s.ctl("close") == 0, "could not post WM_CLOSE")
    rw.wait(timeout=15)
    check("Replywick end -------------" in s.debug_lines(rw), "no end line")
    after = os.stat(path)
    check(read(path) == ini, "the read-only settings file was changed: %r" % read(path))
    check(after.st_ino == before.st_ino, "the read-only settings file was replaced")
    check(after.st_mode & 0o777 == 0o444, "mode changed to %o" % (after.st_mode & 0o777))
    check(not [f for f in os.listdir(d) if f not in ("replywick.exe", "replywick.ini")],
          "left-overs: %s" % os.listdir(d))


def case_unreadable_settings_kept(s):
    # Another program holds the settings file open without sharing while
    # Replywick starts, so it cannot read it. What it has in memory then is
    # not the user's list, and closing must not write it over the file.
    ini = settings(item("Busy File", "{Dialog Yes}", desc="mine"))
    d = s.install(ini=ini)
    path = os.path.join(d, "replywick.ini")
    holder = s.spawn(["wine", os.path.join(s.build, "e2e-wine", "rwctl.exe"), "hold", winpath(path), "6000"],
                     "holder.out")
    wait_until(lambda: "held" in read(os.path.join(s.dir, "holder.out")), 15, "the file to be held")
    rw = s.start_rw()
    check(holder.poll() is None, "the file was let go too early")
    check(holder.wait(timeout=20) == 0 and "released" in read(os.path.join(s.dir, "holder.out")),
          "the holder failed: %s" % read(os.path.join(s.dir, "holder.out")))
    check(s.ctl("close") == 0, "could not post WM_CLOSE")
    rw.wait(timeout=15)
    check("Replywick end -------------" in s.debug_lines(rw), "no end line")
    check(read(path) == ini, "the settings file was overwritten: %r" % read(path))
    check(not [f for f in os.listdir(d) if f not in ("replywick.exe", "replywick.ini")],
          "left-overs: %s" % os.listdir(d))


def case_end_session_writes_settings(s):
    ini = "[Item]\nDesc=two\nTitle=Two\nClass=#32770\nMacro=y\n"
    d = s.install(ini=ini)
    rw = s.start_rw()
    check(s.ctl("endsession") == 0, "could not send the session messages")
    wait_until(lambda: "\r\nDesc=two\r\n" in read(os.path.join(d, "replywick.ini")), 10, "the settings file")
    check("Replywick end -------------" in s.debug_lines(rw), "no end line")
    s.ctl("close")
    rw.wait(timeout=15)
    check(s.debug_lines(rw).count("Replywick end -------------") == 1, "ended twice")


def case_second_instance(s):
    s.install(ini=settings(item("Still Here", "{Dialog Yes}")))
    first = s.start_rw()
    second = s.start_rw(wait=False)
    check(second.wait(timeout=20) == 0, "the second instance failed")
    check(s.debug_lines(second) == [], "the second instance started: %s" % s.debug_lines(second))
    check(first.poll() is None, "the first instance ended")
    t = s.target(title="Still Here")
    s.wait_log(t, "GONE D1")
    check(s.events(t, {"COMMAND"}) == ["COMMAND D1 6"], "events: %s" % s.events(t))


def case_ini_beside_exe_wins(s):
    d = s.install(ini=settings(item("Which Ini", "{Dialog Yes}", desc="beside")), ini_name="other.ini")
    cwd = os.path.join(s.dir, "cwd")
    os.makedirs(cwd)
    with open(os.path.join(cwd, "other.ini"), "wb") as f:
        f.write(settings(item("Which Ini", "{Dialog No}", desc="current dir")).encode())
    with open(os.path.join(d, "replywick.ini"), "wb") as f:
        f.write(settings(item("Which Ini", "{Dialog Cancel}", desc="default")).encode())
    s.start_rw(args=("/ini=other.ini", "/d"), cwd=cwd)
    t = s.target(title="Which Ini")
    s.wait_log(t, "GONE D1")
    check(s.events(t, {"COMMAND"}) == ["COMMAND D1 6"], "events: %s" % s.events(t))


def case_shell_hook(s):
    # The variant without the polling timer: only the shell notification
    # (which Wine never sends by itself) can bring the dialog up.
    s.install(exe="replywick_nopoll.exe", ini=settings(item("Hooked", "ok{Dialog OK}")))
    rw = s.start_rw(exe="replywick_nopoll.exe")
    t = s.target(title="Hooked", timeout=15000)
    s.wait_log(t, "SHOWN D1")
    time.sleep(1.0)
    check(s.events(t, {"CHAR", "COMMAND"}) == [], "answered without a trigger")
    # Window destroyed (2) is not a reason to look.
    check(s.ctl("shellhook", "2", "Hooked") == 0, "could not post")
    time.sleep(0.7)
    check("NewFG: 'Hooked'" not in s.debug_lines(rw), "examined on a destroy notification")
    # A rude activation (0x8004) counts as an activation.
    check(s.ctl("shellhook", "0x8004", "Hooked") == 0, "could not post")
    s.wait_log(t, "GONE D1")
    check(s.events(t, {"CHAR", "COMMAND"}) == ["CHAR D1 111", "CHAR D1 107", "COMMAND D1 1"],
          "events: %s" % s.events(t))


def case_external_notification(s):
    s.install(exe="replywick_nopoll.exe", ini=settings(item("Named", "{Window Close}")))
    rw = s.start_rw(exe="replywick_nopoll.exe")
    t = s.target(title="Named", timeout=15000)
    s.wait_log(t, "SHOWN D1")
    time.sleep(1.0)
    check(s.events(t, {"CLOSE", "COMMAND"}) == [], "answered without a trigger")
    check(s.ctl("notify", "Named") == 0, "could not notify")
    s.wait_log(t, "GONE D1")
    check(s.events(t, {"CLOSE", "COMMAND", "CHAR"}) == ["CLOSE D1"], "events: %s" % s.events(t))
    check(" Hit: Named" in s.debug_lines(rw), "no hit line")


def case_backend_checks(s):
    # The backend against the real system: string table, files, clipboard,
    # module lookup, window texts and the messages the player posts.
    exe = os.path.join(s.build, "e2e-wine", "backend_check.exe")
    r = subprocess.run(["wine", exe, "/ini=a", "b", "/D"], env=s.env, cwd=s.dir, capture_output=True, timeout=60)
    out = r.stdout.decode("latin-1")
    check(r.returncode == 0 and "PASS" in out, "backend checks:\n" + out)


CASES = {name[5:]: fn for name, fn in globals().items() if name.startswith("case_")}

# The settings windows' cases live in a file of their own.
sys.path.insert(0, HERE)
import wine_settings  # noqa: E402

CASES.update(wine_settings.cases(sys.modules[__name__]))


def make_prefix(args):
    prefix = os.path.join(os.path.abspath(args.work), "prefix")
    shutil.rmtree(prefix, ignore_errors=True)
    os.makedirs(os.path.dirname(prefix), exist_ok=True)
    env = dict(os.environ, WINEPREFIX=prefix, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")
    env.pop("DISPLAY", None)
    subprocess.check_call(["wineboot", "-i"], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                          timeout=300)
    subprocess.call(["wineserver", "-w"], env=env, timeout=120)
    print("prefix ready:", prefix)


def run_case(args, name):
    for exe in ("replywick.exe", "replywick_nopoll.exe", "e2e-wine/rwtarget.exe", "e2e-wine/rwctl.exe",
                "e2e-wine/backend_check.exe"):
        if not os.path.exists(os.path.join(args.build, exe)):
            print("missing %s in %s: build the windows preset first" % (exe, args.build))
            return 1
    if not os.path.isdir(os.path.join(args.work, "prefix", "drive_c")):
        print("no Wine prefix in %s: run the 'prefix' step first" % args.work)
        return 1
    s = Session(args, name)
    try:
        s.start_desktop()
        CASES[name](s)
        print("PASS", name)
        return 0
    except Exception as e:  # a failed check, a time-out, a process that hung
        print("FAIL %s: %s: %s" % (name, type(e).__name__, e))
        for f in sorted(os.listdir(s.dir)):
            if f.endswith((".log", ".out")) and not f.startswith(("xvfb", "openbox", "trayer")):
                print("---- %s\n%s" % (f, read(os.path.join(s.dir, f))[-3000:]))
        return 1
    finally:
        s.stop()


def screenshots(args, out_dir):
    """The settings windows in German and English, as PNG files."""
    os.makedirs(out_dir, exist_ok=True)
    rc = 0
    for lang in ("de", "en"):
        s = Session(args, "screenshots-" + lang)
        try:
            s.start_desktop()
            wine_settings.take_screenshots(s, os.path.abspath(out_dir), lang)
        except Exception as e:  # noqa: BLE001 - report and go on with the other language
            print("FAIL screenshots %s: %s: %s" % (lang, type(e).__name__, e))
            rc = 1
        finally:
            s.stop()
    return rc


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", required=True, help="the windows build directory")
    ap.add_argument("--work", required=True, help="where the prefix and the case folders go")
    ap.add_argument("--display", default=os.environ.get("RW_WINE_DISPLAY", ":91"))
    ap.add_argument("command", choices=["prefix", "run", "list", "screenshots"])
    ap.add_argument("cases", nargs="*")
    args = ap.parse_args()
    if args.command == "prefix":
        make_prefix(args)
        return 0
    if args.command == "list":
        print("\n".join(CASES))
        return 0
    if args.command == "screenshots":
        return screenshots(args, args.cases[0] if args.cases else "screenshots")
    rc = 0
    for name in args.cases or list(CASES):
        rc |= run_case(args, name)
    return rc


if __name__ == "__main__":
    sys.exit(main())
