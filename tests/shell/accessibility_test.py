#!/usr/bin/python3
"""The window as a screen reader sees it over AT-SPI: the page text after each
key press against what the text feed sends, the choices as a list, the
prompt as an alert, the backlog, the quick buttons, the save dialog's rows,
the settings controls and the gallery's cells. Runs under dbus-run-session and Xvfb (accessibility_test.sh).

Usage: accessibility_test.py BUILD_DIR
"""
import base64
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time

import pyatspi
from gi.repository import GLib

BUILD = os.path.abspath(sys.argv[1])
SCRIPT = """\
!S000=0;S028=1
*gra A_HILLS
*call opening
*win_open
>ミナ
「おはよう。<きょう>今日はどこへ行くの？」▼
朝の光が差し込んでいた。
窓の外は静かだった。▼
*select
{丘へ行く
丘の上は風が強かった。▼
{町へ行く
町はにぎやかだった。▼
}
おわり。▼
*mode 1
どうしよう？
*select
{本を読む
本を読んだ。▼
{早く寝る
すぐに寝た。▼
}
*mode 0
*map
*clickmap ROOM
{
扉を開けた。▼
{
窓を見た。▼
}
*mark 1
ふりかえろう。▼
*seltree 0
*seltree 0
*win_close
*roll credits
*special 5
さいご。▼
"""
TREE = """\
0,1,わかれみち,treeback:START
0,1,どこへ行く？,
1,1,丘へ行く,treeback:HILL
1,1,町へ行く,treeback:TOWN
0,1,夜のすごし方,
1,1,本を読む,treeback:BOOK
END
ALLEND
"""
TREEBACK = """\
:START
わかれみちに立った。▼
*end
:HILL
丘に登った。▼
*end
:TOWN
町を歩いた。▼
*end
:BOOK
本を開いた。▼
*end
"""
TITLE = """\
!S000=3;S028=0
*win_close
*select
{はじめから
*go EXTRAS
{おわり
*exitgame
}
:EXTRAS
*select
{ギャラリーへ
*chain rest
{やめる
*exitgame
}
"""
EXTRAS = """\
*viewer VIEW_1
*kaisou
"""

failures = []
# How long the game may take to start: a while on a machine busy with builds.
STARTUP = 90.0


def check(what, got, want):
    if got != want:
        failures.append("%s: got %r, want %r" % (what, got, want))
        print("FAIL", failures[-1], flush=True)
    else:
        print("ok  ", what, flush=True)


# The focus events the game sends, latest last, as (role, name): what a screen
# reader speaks when something opens.
focus_events = []


def on_focus(event):
    if event.detail1 == 1:
        try:
            focus_events.append((event.source.getRole(), event.source.name))
        except Exception:  # gone already
            pass


def pump():
    """Delivers the events that came in."""
    context = GLib.MainContext.default()
    while context.iteration(False):
        pass


def last_focus():
    pump()
    return focus_events[-1] if focus_events else None


def wait_for(what, probe, timeout=15.0):
    """probe() until it returns something true; None after the timeout."""
    end = time.time() + timeout
    while time.time() < end:
        pump()
        try:
            got = probe()
        except Exception:  # the tree changes under us
            got = None
        if got:
            return got
        time.sleep(0.1)
    failures.append("timed out waiting for " + what)
    print("FAIL", failures[-1], flush=True)
    return None


class Feed:
    """A bare WebSocket client of the text feed: text frames only."""

    def __init__(self, port):
        self.sock = wait_for("the text feed", lambda: socket.create_connection(("127.0.0.1", port), 1), STARTUP)
        # The second is for the connection alone: the game answers the
        # handshake when its event loop next turns, which on a busy machine
        # while it starts up is a good while later.
        self.sock.settimeout(60)
        key = base64.b64encode(os.urandom(16)).decode()
        self.sock.sendall(("GET / HTTP/1.1\r\nHost: 127.0.0.1:%d\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                           "Sec-WebSocket-Key: %s\r\nSec-WebSocket-Version: 13\r\n\r\n" % (port, key)).encode())
        head = b""
        while b"\r\n\r\n" not in head:
            head += self.sock.recv(1)
        assert b" 101 " in head.split(b"\r\n")[0], head
        self.buf = b""
        self.sock.setblocking(False)

    def messages(self):
        try:
            while True:
                chunk = self.sock.recv(65536)
                if not chunk:
                    break
                self.buf += chunk
        except BlockingIOError:
            pass
        out = []
        while len(self.buf) >= 2:
            n = self.buf[1] & 0x7F
            at = 2
            if n == 126:
                if len(self.buf) < 4:
                    break
                n, at = int.from_bytes(self.buf[2:4], "big"), 4
            elif n == 127:
                if len(self.buf) < 10:
                    break
                n, at = int.from_bytes(self.buf[2:10], "big"), 10
            if len(self.buf) < at + n:
                break
            if self.buf[0] & 0x0F == 1:
                out.append(self.buf[at:at + n].decode())
            self.buf = self.buf[at + n:]
        return out


def find(root, pred, depth=0):
    if root is None or depth > 30:
        return None
    try:
        if pred(root):
            return root
        for i in range(root.childCount):
            hit = find(root.getChildAtIndex(i), pred, depth + 1)
            if hit:
                return hit
    except Exception:
        return None
    return None


def find_all(root, pred, out=None, depth=0):
    out = [] if out is None else out
    if root is None or depth > 30:
        return out
    try:
        if pred(root):
            out.append(root)
        for i in range(root.childCount):
            find_all(root.getChildAtIndex(i), pred, out, depth + 1)
    except Exception:
        pass
    return out


def text_of(acc):
    t = acc.queryText()
    return t.getText(0, -1)


def key(sym):
    pyatspi.Registry.generateKeyboardEvent(sym, None, pyatspi.KEY_SYM)
    time.sleep(0.3)


def centre(acc):
    e = acc.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return e.x + e.width // 2, e.y + e.height // 2


def press(acc):
    """The accessible's own press action, as a screen reader's activate key does it."""
    action = acc.queryAction()
    names = [action.getName(i) for i in range(action.nActions)]
    action.doAction(names.index("Press"))


def actions_of(acc):
    try:
        action = acc.queryAction()
    except NotImplementedError:
        return []
    return [action.getName(i) for i in range(action.nActions)]


def has_press(acc):
    return "Press" in actions_of(acc)


def act(acc, name):
    acc.queryAction().doAction(actions_of(acc).index(name))


def focused(acc):
    return acc.getState().contains(pyatspi.STATE_FOCUSED)


def move_to(screen, x, y):
    """The pointer to (x, y) of the picture."""
    e = screen.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    pyatspi.Registry.generateMouseEvent(e.x + x * e.width // 800, e.y + y * e.height // 600, "abs")


def names_of(root, role):
    return [a.name for a in find_all(root, lambda a: a.getRole() == role)]


def free_port():
    """A port nothing listens on now; the game takes it a moment later."""
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def main():
    scratch = tempfile.mkdtemp(prefix="velmora-a11y-")
    try:
        return run(scratch)
    finally:
        shutil.rmtree(scratch, ignore_errors=True)


def run(scratch):
    src = os.path.join(scratch, "src")
    shutil.copytree(os.path.join(BUILD, "demo-game"), src, symlinks=False)
    for name in os.listdir(os.path.join(src, "scripts")):
        if name not in ("effect.txt", "view.txt", "sys_flashbak.txt"):
            os.remove(os.path.join(src, "scripts", name))
    with open(os.path.join(src, "scripts", "main.txt"), "w", encoding="utf-8") as f:
        f.write(SCRIPT)
    with open(os.path.join(src, "scripts", "map.txt"), "w", encoding="utf-8") as f:
        f.write(":ROOM\n2\n扉,60,120,300,520\n窓,420,80,760,360\n")
    for name, text in (("seltree", TREE), ("treeback", TREEBACK), ("STITLE", TITLE), ("rest", EXTRAS),
                       ("credits", "*RESET\n*CENTER XY\n　一行目\n二行目\n*PUT 1\n*WAIT 40\n*ERA 1\n"),
                       ("endroll", "20\nA_HILLS,0\nA_HILLS,4\n*\n　　ＳＴＡＦＦ\n\n　　ミナ\n*\n")):
        with open(os.path.join(src, "scripts", name + ".txt"), "w", encoding="utf-8") as f:
            f.write(text)
    # Called once, so the recollection's first scene is unlocked.
    with open(os.path.join(src, "scripts", "opening.txt"), "w", encoding="utf-8") as f:
        f.write("*end\n")
    game = os.path.join(scratch, "game")
    subprocess.run([os.path.join(BUILD, "velmora-pack"), "build", src, game], check=True, stdout=subprocess.DEVNULL)

    env = dict(os.environ)
    env.update({"XDG_CONFIG_HOME": os.path.join(scratch, "config"), "ALSOFT_DRIVERS": "null",
                "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1", "QT_QPA_PLATFORM": "xcb"})
    port = free_port()
    trace = os.path.join(scratch, "trace.txt")
    proc = subprocess.Popen([os.path.join(BUILD, "velmora"), "--trace", trace, "--text-feed", str(port), game],
                            env=env)
    try:
        feed = Feed(port)
        app = wait_for("the game on the accessibility bus", timeout=STARTUP, probe=lambda: find(
            pyatspi.Registry.getDesktop(0), lambda a: a.getRoleName() == "application" and
            find(a, lambda b: b.name == "ゲーム画面") is not None, 1))
        if not app:
            failures.append("the window's accessible tree was not found")
            return
        pyatspi.Registry.registerEventListener(on_focus, "object:state-changed:focused")
        screen = find(app, lambda a: a.name == "ゲーム画面")
        check("the game screen's role", screen.getRole() in (pyatspi.ROLE_CANVAS,), True)
        # The pointer over the window: without a window manager the keys go where it is.
        x, y = centre(screen)
        pyatspi.Registry.generateMouseEvent(x, y, "abs")
        time.sleep(0.3)

        # Each page as it stops for a click is the lines the feed sent since the last one.
        sent = []

        def page_matches():
            sent.extend(feed.messages())
            return sent and text_of(screen) == "\n".join(sent)

        wait_for("the first page", page_matches)
        check("page 1 against the feed", text_of(screen), "\n".join(sent))
        check("page 1", text_of(screen), "「ミナ」「おはよう。今日はどこへ行くの？」")
        # A screen reader's questions are answered while the engine sleeps
        # between frames, not one per frame (it would fall seconds behind).
        with open(trace, encoding="utf-8", errors="replace") as t:
            check("calls answered while the engine sleeps", "calls answered while the engine sleeps" in t.read(), True)
        # The quick buttons over the message window, left to right, skip and auto as switches.
        bar = wait_for("the quick buttons", lambda: find(screen, lambda a: a.getRole() == pyatspi.ROLE_TOOL_BAR))
        if bar:
            check("quick buttons", names_of(bar, pyatspi.ROLE_PUSH_BUTTON),
                  ["クイックセーブ", "クイックロード", "メッセージスキップ", "バックログ", "オートプレイ"])
            # Auto reads as on once pressed, off again at the second press.
            auto = find(bar, lambda a: a.name == "オートプレイ")
            press(auto)
            check("auto on", wait_for("auto on", lambda: auto.getState().contains(pyatspi.STATE_CHECKED)), True)
            press(auto)
            check("auto off", wait_for("auto off", lambda: not auto.getState().contains(pyatspi.STATE_CHECKED)),
                  True)
        # Auto mode may have turned the page while it was on, however quick the
        # presses (a busy machine); the game's trace says so. Off now, it turns no more.
        sent.clear()
        with open(trace, encoding="utf-8", errors="replace") as t:
            turned = "released by the auto mode" in t.read()
        if not turned:
            key(0xff0d)  # Return: the next page
        wait_for("the second page", lambda: page_matches() and len(sent) == 2)
        check("page 2 against the feed", text_of(screen), "\n".join(sent))
        check("page 2", text_of(screen).split("\n"), ["朝の光が差し込んでいた。", "窓の外は静かだった。"])
        # Announced a moment after the line completes, with any that came just before it.
        # A notification in a status bar, so it is read without its role; its
        # text as a label, for braille and the screen reader's review.
        live = wait_for("the live region to announce the line", lambda: find(
            screen, lambda a: a.getRole() == pyatspi.ROLE_LABEL and a.parent.getRole() == pyatspi.ROLE_NOTIFICATION
            and a.name.endswith("窓の外は静かだった。")))
        check("the last line announced", live is not None, True)
        if live:
            check("the live region's roles", (live.parent.name, live.parent.parent.getRole()),
                  ("", pyatspi.ROLE_STATUS_BAR))

        # The choices: a list of the options, the one under the pointer selected.
        sent.clear()
        key(0xff0d)
        lst = wait_for("the choice list", lambda: find(screen, lambda a: a.getRole() == pyatspi.ROLE_LIST))
        sent.extend(feed.messages())
        if lst:
            items = [lst.getChildAtIndex(i) for i in range(lst.childCount)]
            check("choice items", [(i.getRole(), i.name) for i in items],
                  [(pyatspi.ROLE_LIST_ITEM, "丘へ行く"), (pyatspi.ROLE_LIST_ITEM, "町へ行く")])
            check("choices as the feed sent them", [i.name for i in items], sent[-2:])
            key(0xff54)  # Down
            key(0xff54)
            wait_for("the second option selected",
                     lambda: lst.getChildAtIndex(1).getState().contains(pyatspi.STATE_SELECTED))
            check("the option the arrow keys moved to is selected",
                  [lst.getChildAtIndex(i).getState().contains(pyatspi.STATE_SELECTED) for i in range(2)],
                  [False, True])
            sent.clear()
            key(0xff0d)  # picks it
            wait_for("the page after the choice", lambda: page_matches() and find(
                screen, lambda a: a.getRole() == pyatspi.ROLE_LIST) is None)
            check("the picked branch", text_of(screen), "町はにぎやかだった。")
            check("the list is gone", find(screen, lambda a: a.getRole() == pyatspi.ROLE_LIST), None)

        # The backlog viewer: a read-only text of the lines shown so far.
        key(0xff08)  # BackSpace
        log = wait_for("the backlog", lambda: find(screen, lambda a: a.name == "バックログ" and
                                                   a.getRole() != pyatspi.ROLE_PUSH_BUTTON))
        if log:
            lines = text_of(log).split("\n")
            check("backlog lines", [line for line in lines if "町はにぎやか" in line or "窓の外" in line],
                  ["窓の外は静かだった。", "町はにぎやかだった。"])
            check("backlog read-only", log.getState().contains(pyatspi.STATE_EDITABLE), False)
            # Up and Down move the caret line by line; a screen reader reads the line it is on.
            t = log.queryText()

            def caret_line():
                return t.getTextAtOffset(t.caretOffset, pyatspi.TEXT_BOUNDARY_LINE_START)[0].rstrip("\n")

            check("the caret on the top line", caret_line(), lines[0])
            key(0xff54)  # Down
            check("Down moves the caret a line", wait_for("the caret on the second line",
                                                          lambda: caret_line() == lines[1]) is not None, True)
            key(0xff52)  # Up
            check("Up moves it back", wait_for("the caret on the first line",
                                               lambda: caret_line() == lines[0]) is not None, True)
            key(0xff08)
            wait_for("the backlog to close", lambda: find(screen, lambda a: a.name == "バックログ"
                                                          and a.getRole() != pyatspi.ROLE_PUSH_BUTTON) is None)
        # The quick bar's button does what a click on it does.
        button = find(screen, lambda a: a.getRole() == pyatspi.ROLE_PUSH_BUTTON and a.name == "バックログ")
        check("the quick backlog button", button is not None, True)
        if button:
            press(button)
            log = wait_for("the backlog from its quick button", lambda: find(
                screen, lambda a: a.name == "バックログ" and a.getRole() != pyatspi.ROLE_PUSH_BUTTON))
            check("the backlog opened by the quick button", log is not None and "町はにぎやかだった。" in text_of(log),
                  True)
            check("the quick buttons step aside for the backlog",
                  find(screen, lambda a: a.getRole() == pyatspi.ROLE_TOOL_BAR), None)
            key(0xff08)
            wait_for("the backlog to close", lambda: find(screen, lambda a: a.getRole() == pyatspi.ROLE_TOOL_BAR))

        # The prompt, from the right-click menu's last but one item: an alert
        # with two buttons. (Qt leaves pop-up menus out of the tree; a screen
        # reader follows them by their focus events.)
        pyatspi.Registry.generateMouseEvent(x, y, "b3c")
        # Opened by the mouse, the menu says so through its first item's focus.
        check("the menu's first item focused as it opens",
              wait_for("the menu's focus", lambda: last_focus() == (pyatspi.ROLE_MENU_ITEM, "オートプレイ")), True)
        time.sleep(0.5)
        key(0xff52)  # Up: "ゲーム終了"
        key(0xff52)  # "タイトルへ戻る"
        key(0xff0d)
        alert = wait_for("the prompt", lambda: find(screen, lambda a: a.getRole() == pyatspi.ROLE_ALERT))
        if alert:
            check("the prompt's question", alert.name, "タイトルへ戻りますか？")
            check("the prompt's buttons", [(alert.getChildAtIndex(i).getRole(), alert.getChildAtIndex(i).name)
                                           for i in range(alert.childCount)],
                  [(pyatspi.ROLE_PUSH_BUTTON, "はい"), (pyatspi.ROLE_PUSH_BUTTON, "いいえ")])
            check("the answers press", [actions_of(alert.getChildAtIndex(i)) for i in range(2)],
                  [["Press"], ["Press"]])
            # The arrows move between the answers, the one chosen focused.
            key(0xff53)  # Right
            check("no is focused", wait_for("no focused", lambda: focused(alert.getChildAtIndex(1))), True)
            key(0xff51)  # Left
            check("yes is focused", wait_for("yes focused", lambda: focused(alert.getChildAtIndex(0))), True)
            key(0xff53)
            wait_for("no focused again", lambda: focused(alert.getChildAtIndex(1)))
            key(0xff0d)  # Return on no: the game goes on where it was
            wait_for("the prompt to close", lambda: find(screen, lambda a: a.getRole() == pyatspi.ROLE_ALERT)
                     is None)
            check("still on the page after no", text_of(screen), "町はにぎやかだった。")
        pyatspi.Registry.generateMouseEvent(x, y, "abs")
        time.sleep(0.3)

        # The tool bar's buttons by their captions.
        names = [b.name for b in find_all(app, lambda a: a.getRole() == pyatspi.ROLE_PUSH_BUTTON)]
        check("tool bar buttons", [n for n in ["終了", "ロード(L)", "セーブ(S)", "設定(C)"] if n in names],
              ["終了", "ロード(L)", "セーブ(S)", "設定(C)"])

        # The save dialog: its rows read as number, date, title and comment.
        key(ord("s"))
        dialog = wait_for("the save dialog", lambda: find(app, lambda a: a.getRole() == pyatspi.ROLE_DIALOG))
        if dialog:
            rows = find_all(dialog, lambda a: a.getRole() in (pyatspi.ROLE_TABLE_ROW, pyatspi.ROLE_LIST_ITEM,
                                                             pyatspi.ROLE_TABLE_CELL) and a.name.startswith("01"))
            # An empty slot: its number and what the date column says, no blank parts.
            check("slot row 01 reads", rows[0].name if rows else None, "01, 未登録")
            # The row is read whole from its first cell alone: a screen reader
            # that reads every cell of a row says it once.
            table = find(dialog, lambda a: a.getRole() == pyatspi.ROLE_TABLE)
            if table:
                cells = table.queryTable()
                check("the other cells of row 01 are blank", [cells.getAccessibleAt(0, j).name.strip()
                                                              for j in range(1, cells.nColumns)],
                      [""] * (cells.nColumns - 1))
            # The selected row is heard as the dialog opens, after the list itself.
            check("the selected row focused as the dialog opens",
                  wait_for("the row's focus", lambda: last_focus() == (pyatspi.ROLE_TABLE_CELL, "01, 未登録")), True)
            unnamed = [a.getRoleName() for a in find_all(dialog, lambda a: a.getRole() in (
                pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_CHECK_BOX, pyatspi.ROLE_RADIO_BUTTON) and not a.name)]
            check("every button of the save dialog has a name", unnamed, [])
            key(0xff1b)  # Escape
            wait_for("the dialog to close", lambda: find(app, lambda a: a.getRole() == pyatspi.ROLE_DIALOG) is None)

        # A quick save's notice is drawn over the picture: it is announced.
        key(ord("q"))
        check("the quick save's notice announced", wait_for("the notice", lambda: find(
            screen, lambda a: a.getRole() == pyatspi.ROLE_LABEL and a.name == "セーブしました")) is not None, True)
        # The tool bar is off while the notice shows, and on again after it.
        settings = find(app, lambda a: a.getRole() == pyatspi.ROLE_PUSH_BUTTON and a.name == "設定(C)")
        wait_for("the notice to go", lambda: settings.getState().contains(pyatspi.STATE_SENSITIVE))

        # The settings: every control named, the screen reader switch among them.
        key(ord("c"))
        dialog = wait_for("the settings", lambda: find(app, lambda a: a.getRole() == pyatspi.ROLE_DIALOG))
        if dialog:
            checks = [a.name for a in find_all(dialog, lambda a: a.getRole() == pyatspi.ROLE_CHECK_BOX)]
            check("the screen reader switch", "スクリーンリーダーに送る" in checks, True)
            reader = find(dialog, lambda a: a.name == "スクリーンリーダーに送る")
            check("on while a screen reader listens", reader.getState().contains(pyatspi.STATE_CHECKED), True)
            unnamed = [a.getRoleName() for a in find_all(dialog, lambda a: a.getRole() in (
                pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_CHECK_BOX, pyatspi.ROLE_RADIO_BUTTON, pyatspi.ROLE_SLIDER,
                pyatspi.ROLE_COMBO_BOX, pyatspi.ROLE_PAGE_TAB, pyatspi.ROLE_SPIN_BUTTON) and not a.name)]
            check("every control of the settings has a name", unnamed, [])
            # Between the page's tab and its first control a screen reader
            # says nothing of the stack the pages lie in.
            check("no unnamed layered pane", [a.getRoleName() for a in find_all(
                dialog, lambda a: a.getRole() == pyatspi.ROLE_LAYERED_PANE and not a.name)], [])
            key(0xff1b)
            wait_for("the settings to close", lambda: find(app, lambda a: a.getRole() == pyatspi.ROLE_DIALOG) is None)

        # The gallery: the one picture seen (the background of the first page),
        # the others plates; the other pages' buttons take the player there.
        key(0xff0d)
        # The next Return only once the line has typed out (the page's text holds
        # completed lines), or it would finish the typing instead.
        wait_for("the last page", lambda: text_of(screen) == "おわり。")
        key(0xff0d)
        # The novel style's options press from the screen reader, and stand
        # where they are drawn for its own clicks.
        novel = wait_for("the novel style's choices", lambda: find(screen, lambda a: a.getRole() ==
                                                                   pyatspi.ROLE_LIST and a.childCount == 2))
        if novel:
            # The line that asks was announced before the options were focused.
            notices = find_all(screen, lambda a: a.getRole() == pyatspi.ROLE_LABEL and
                               a.parent.getRole() == pyatspi.ROLE_NOTIFICATION)
            check("the question announced as the options show", notices[-1].name if notices else None, "どうしよう？")
            items = [novel.getChildAtIndex(i) for i in range(2)]
            check("the novel style's options", [(i.name, actions_of(i)) for i in items],
                  [("本を読む", ["Press"]), ("早く寝る", ["Press"])])
            e = screen.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
            spots = [centre(i) for i in items]
            check("the options stand apart on the screen, one below the other",
                  all(e.x < sx < e.x + e.width and e.y < sy < e.y + e.height for sx, sy in spots)
                  and spots[0][1] < spots[1][1], True)
            press(items[1])
            wait_for("the page after the novel choice", lambda: text_of(screen).endswith("すぐに寝た。"))
            check("the option pressed is picked", text_of(screen).split("\n")[-1], "すぐに寝た。")
            key(0xff0d)
        # A click map: its areas by the names its table gives them, pressed
        # from the screen reader and standing where they are.
        areas = wait_for("the click map's areas", lambda: find(screen, lambda a: a.getRole() == pyatspi.ROLE_LIST and
                                                                a.childCount == 2 and a.getChildAtIndex(0).name == "扉"))
        if areas:
            items = [areas.getChildAtIndex(i) for i in range(2)]
            check("the click map's areas", [(i.name, actions_of(i)) for i in items],
                  [("扉", ["Press"]), ("窓", ["Press"])])
            (dx, dy), (wx, wy) = centre(items[0]), centre(items[1])
            check("the door stands left of and below the window's top", dx < wx and dy > wy, True)
            press(items[1])
            check("the area pressed is picked", wait_for("the page after the click map", lambda: text_of(
                screen).endswith("窓を見た。")) is not None, True)
            key(0xff0d)
        # The choice tree: a list of its rows by their captions, a group's
        # entries under it. The arrows walk them as the pointer does (the lit row focused, a
        # group expanded while its entries show) and Return picks.
        key(0xff0d)  # past "ふりかえろう。"
        tree = wait_for("the choice tree", lambda: find(screen, lambda a: a.name == "選択肢ツリー"))
        if tree:
            rows = [tree.getChildAtIndex(i) for i in range(tree.childCount)]
            check("the tree's rows", [r.name for r in rows], ["わかれみち", "どこへ行く？", "夜のすごし方"])
            check("the tree's roles", [tree.getRoleName()] + [r.getRoleName() for r in rows], ["list"] + ["list item"] * 3)
            check("a group's entries under it", [(rows[1].getChildAtIndex(i).getRoleName(), rows[1].getChildAtIndex(
                i).name) for i in range(rows[1].childCount)], [("list item", "丘へ行く"), ("list item", "町へ行く")])
            check("a group expands, a row with a target does not",
                  [r.getState().contains(pyatspi.STATE_EXPANDABLE) for r in rows], [False, True, True])
            key(0xff54)  # Down: the first row
            check("Down lights the first row", wait_for("the first row focused", lambda: focused(rows[0])), True)
            key(0xff54)
            check("the group lit and expanded", wait_for("the group expanded", lambda: focused(rows[1]) and
                                                         rows[1].getState().contains(pyatspi.STATE_EXPANDED)), True)
            key(0xff53)  # Right: into its entries
            key(0xff54)
            town = rows[1].getChildAtIndex(1)
            check("Right and Down reach the second entry", wait_for("町へ行く focused", lambda: focused(town)), True)
            sent.clear()
            key(0xff0d)
            check("Return picks the entry", wait_for("the town's page", lambda: text_of(screen) == "町を歩いた。")
                  is not None, True)
            check("the tree is gone", find(screen, lambda a: a.name == "選択肢ツリー"), None)
            key(0xff0d)
        # Again, picked by an entry's own press this time.
        tree = wait_for("the choice tree again", lambda: find(screen, lambda a: a.name == "選択肢ツリー"))
        if tree:
            book = find(tree, lambda a: a.name == "本を読む")
            check("an entry presses", actions_of(book), ["Press"])
            press(book)
            check("the entry pressed is picked", wait_for("the book's page", lambda: text_of(screen) == "本を開いた。")
                  is not None, True)
            key(0xff0d)
        # The credits are pictures: their lines are the screen's text and are
        # announced as they show.
        check("the staff roll's block", wait_for("the staff roll's text", lambda: text_of(screen) == "一行目\n二行目")
              is not None, True)
        check("the staff roll announced", wait_for("the staff roll's announcement", lambda: find(
            screen, lambda a: a.getRole() == pyatspi.ROLE_LABEL and a.name == "一行目\n二行目")) is not None, True)
        # The ending roll's lines, a group at a time as they scroll into sight.
        heard = wait_for("the ending roll's last line announced", lambda: [a.name for a in find_all(
            screen, lambda a: a.getRole() == pyatspi.ROLE_LABEL and a.parent.getRole() == pyatspi.ROLE_NOTIFICATION)
            if "ミナ" in a.name], timeout=30)
        notices = [a.name for a in find_all(screen, lambda a: a.getRole() == pyatspi.ROLE_LABEL and
                                            a.parent.getRole() == pyatspi.ROLE_NOTIFICATION)]
        check("the ending roll's lines announced", [n for n in notices if n in ("ＳＴＡＦＦ", "ミナ")],
              ["ＳＴＡＦＦ", "ミナ"])
        wait_for("the last page", lambda: text_of(screen) == "さいご。", timeout=30)
        # Back to the title from the menu: its options are a list again.
        pyatspi.Registry.generateMouseEvent(x, y, "b3c")
        wait_for("the menu's focus", lambda: last_focus() == (pyatspi.ROLE_MENU_ITEM, "オートプレイ"))
        time.sleep(0.5)
        key(0xff52)
        key(0xff52)
        key(0xff0d)
        alert = wait_for("the title prompt", lambda: find(screen, lambda a: a.getRole() == pyatspi.ROLE_ALERT))
        if alert:
            key(0xff51)  # Left: yes
            wait_for("yes focused", lambda: focused(alert.getChildAtIndex(0)))
            key(0xff0d)
        title = wait_for("the title's options", lambda: find(screen, lambda a: a.getRole() == pyatspi.ROLE_LIST and
                                                               names_of(a, pyatspi.ROLE_LIST_ITEM) ==
                                                               ["はじめから", "おわり"]))
        check("the title's options after the return", title is not None, True)
        check("the story's last page gone at the title", text_of(screen), "")
        if title:
            key(0xff54)
            key(0xff52)
            wait_for("the first option", lambda: title.getChildAtIndex(0).getState().contains(pyatspi.STATE_SELECTED))
            key(0xff0d)
        # A list straight after another: its own options, not the last one's.
        extras = wait_for("the next list's options", lambda: find(screen, lambda a: a.getRole() == pyatspi.ROLE_LIST
                                                                   and names_of(a, pyatspi.ROLE_LIST_ITEM) ==
                                                                   ["ギャラリーへ", "やめる"]))
        check("a list straight after another", extras is not None, True)
        if extras:
            key(0xff54)
            key(0xff52)
            wait_for("its first option", lambda: extras.getChildAtIndex(0).getState().contains(pyatspi.STATE_SELECTED))
            key(0xff0d)
        gallery = wait_for("the gallery", lambda: find(screen, lambda a: a.name == "ギャラリー" and
                                                         a.getRole() == pyatspi.ROLE_LIST))
        if gallery:
            check("the picture cells", names_of(gallery, pyatspi.ROLE_LIST_ITEM),
                  ["未閲覧", "画像 2（1/1）", "未閲覧"])
            buttons = names_of(gallery.parent, pyatspi.ROLE_PUSH_BUTTON)
            check("the gallery's buttons", buttons, ["ギャラリー 2", "ギャラリー 3", "戻る"])
            check("no quick buttons over the gallery", find(screen, lambda a: a.getRole() == pyatspi.ROLE_TOOL_BAR),
                  None)
            check("a plate cannot be pressed", [a.name for a in find_all(gallery, lambda a: a.name == "未閲覧" and
                                                                          has_press(a))], [])
            # The focus follows the pointer over the cells.
            move_to(screen, 300 + 80, 200 + 60)
            # (Waited for by name: the first cell is focused until the move arrives.)
            check("the cell under the pointer is focused", wait_for("the focus on the seen picture", lambda: find(
                screen, lambda a: a.getRole() == pyatspi.ROLE_LIST_ITEM and focused(a)).name == "画像 2（1/1）"), True)
            # Its press shows the picture whole: the picture focused, a way on and a way back.
            press(find(gallery, lambda a: a.name == "画像 2（1/1）"))
            picture = wait_for("the full view", lambda: find(screen, lambda a: a.getRole() == pyatspi.ROLE_IMAGE))
            if picture:
                check("the picture shown", (picture.name, focused(picture)), ("画像 2、1 枚目", True))
                check("the full view's buttons", names_of(picture.parent, pyatspi.ROLE_PUSH_BUTTON), ["次の画像", "戻る"])
                check("no cells behind the full view",
                      find(screen, lambda a: a.getRole() == pyatspi.ROLE_LIST and a.name == "ギャラリー"), None)
                press(find(picture.parent, lambda a: a.name == "戻る"))
            gallery = wait_for("the gallery page again", lambda: find(screen, lambda a: a.name == "ギャラリー" and
                                                                      a.getRole() == pyatspi.ROLE_LIST))
            check("the page is back", gallery is not None and find(screen, lambda a: a.getRole() == pyatspi.ROLE_IMAGE),
                  None)
            move_to(screen, 400, 300)
            press(find(gallery.parent, lambda a: a.name == "ギャラリー 2"))
            scenes = wait_for("the scene page", lambda: find(screen, lambda a: a.name == "ギャラリー" and
                              a.getRole() == pyatspi.ROLE_LIST and "ギャラリー 1" in names_of(
                                  a.parent, pyatspi.ROLE_PUSH_BUTTON)))
            if scenes:
                check("the scene page's cell", names_of(scenes, pyatspi.ROLE_LIST_ITEM), ["未閲覧"])
                press(find(scenes.parent, lambda a: a.name == "戻る"))

        # The recollection after it: the called scene unlocked, the other a plate.
        rec = wait_for("the recollection", lambda: find(screen, lambda a: a.name == "回想" and
                                                         a.getRole() == pyatspi.ROLE_LIST))
        if rec:
            root = rec.parent
            check("the scene cells", names_of(rec, pyatspi.ROLE_LIST_ITEM), ["はじまり", "未閲覧"])
            check("the tabs", names_of(root, pyatspi.ROLE_PAGE_TAB), ["タブ 1"])
            check("the recollection's buttons", names_of(root, pyatspi.ROLE_PUSH_BUTTON),
                  ["再生", "クリア", "名前の変更", "戻る"])
            slots = find_all(root, lambda a: a.getRole() == pyatspi.ROLE_RADIO_BUTTON)
            check("the record lists", [(a.name, a.getState().contains(pyatspi.STATE_CHECKED)) for a in slots],
                  [("Record Slot %d" % (i + 1), i == 0) for i in range(10)])
            record = find(root, lambda a: a.getRole() == pyatspi.ROLE_LIST and a.name == "Record Slot 1")
            check("the first record list, empty", record is not None and record.childCount, 0)
            scene = find(rec, lambda a: a.name == "はじまり")
            check("a scene plays at its press and goes onto the list",
                  actions_of(scene), ["Press", "記録リストに追加"])
            # Dragging it onto the list, as its second action does. (The tree is built
            # again as what it shows changes, so it is looked up afresh.)
            act(scene, "記録リストに追加")
            entry = wait_for("the scene on the record list", lambda: find(screen, lambda a: a.getRole() ==
                             pyatspi.ROLE_LIST and a.name == "Record Slot 1" and a.childCount == 1).getChildAtIndex(0))
            if entry:
                check("the entry", (entry.name, actions_of(entry)), ("はじまり", ["Press", "記録リストから外す"]))
                # The pointer over the entry focuses it.
                move_to(screen, 570 + 100, 160 + 7)
                check("the entry under the pointer is focused",
                      wait_for("the entry's focus", lambda: focused(find(screen, lambda a: a.getRole() ==
                               pyatspi.ROLE_LIST and a.name == "Record Slot 1").getChildAtIndex(0))), True)
                time.sleep(0.5)  # a second press on a scene soon after the first is a double click
                act(entry, "記録リストから外す")
                check("the list is empty again", wait_for("the entry to go", lambda: find(
                    screen, lambda a: a.getRole() == pyatspi.ROLE_LIST and a.name == "Record Slot 1" and
                    a.childCount == 0)) is not None, True)
            # Another record list, chosen by its button.
            press(find(screen, lambda a: a.name == "Record Slot 3"))
            check("the third list chosen", wait_for("the third list", lambda: find(
                screen, lambda a: a.getRole() == pyatspi.ROLE_LIST and a.name == "Record Slot 3")) is not None, True)
    finally:
        proc.terminate()
        try:
            proc.wait(10)
        except subprocess.TimeoutExpired:
            proc.kill()
        if failures and os.path.exists(trace):
            with open(trace, encoding="utf-8", errors="replace") as t:
                print("---- trace (last lines) ----")
                print("".join(t.readlines()[-40:]))


main()
if failures:
    print("%d failed" % len(failures))
    sys.exit(1)
print("all passed")
