#!/usr/bin/env python3
"""Soak of a list shared through a folder (not part of the test run).

Two running copies of the program, each with its own program and XDG folders, share one folder
("Networkable"). A thousand random changes are made through their windows as a user makes them:
adds, edits of a description, check marks, logging and removals, spread over both copies. Every
task is named "T<n>" when added and "T<n>.<k>" when edited, so it can be followed to the end; the
task a command acts on is read from the edit dialog (its description, copied to the clipboard).

At the end both copies exit, and every task must be accounted for: in the list once (a conflict
copy aside), or in the history, or removed by a removal made in one of the copies. Nothing lost,
nothing doubled.

    tests/soak/shared_folder_soak.py build/veltry [--changes 1000] [--minutes 10] [--seed 1]
"""
import argparse
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile
import time


def run(*args, check=False):
    return subprocess.run(list(args), stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True, check=check)


class Display:
    def __init__(self, tmp):
        fd_file = os.path.join(tmp, "displayfd")
        self.out = open(fd_file, "w+")
        self.proc = subprocess.Popen(["Xvfb", "-displayfd", str(self.out.fileno()), "-screen", "0", "1280x800x24",
                                      "-nolisten", "tcp"], pass_fds=(self.out.fileno(),),
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for _ in range(100):
            self.out.seek(0)
            number = self.out.read().strip()
            if number:
                break
            time.sleep(0.1)
        else:
            sys.exit("Xvfb did not start")
        os.environ["DISPLAY"] = ":" + number
        import tkinter
        self.tk = tkinter.Tk()
        self.tk.withdraw()

    def clipboard(self):
        try:
            self.tk.update()
            return self.tk.clipboard_get()
        except Exception:
            return None

    def clear_clipboard(self):
        self.tk.clipboard_clear()
        self.tk.clipboard_append("\x01none")
        self.tk.update()


class Copy:
    def __init__(self, name, tmp, binary, shared):
        self.name = name
        root = os.path.join(tmp, name)
        for d in ("prog", "config/veltry", "data", "run"):
            os.makedirs(os.path.join(root, d), exist_ok=True)
        os.chmod(os.path.join(root, "run"), 0o700)
        shutil.copy(binary, os.path.join(root, "prog", "veltry"))
        with open(os.path.join(root, "config/veltry/registry.reg"), "w") as f:
            f.write('[HKEY_LOCAL_MACHINE\\SOFTWARE\\Veltry Pro]\n"NoConfirmations"=dword:00000001\n'
                    '"UseAltDirPath"=dword:00000001\n"AltDirPath"="%s/"\n"Networkable"=dword:00000001\n' % shared)
        env = dict(os.environ, XDG_CONFIG_HOME=os.path.join(root, "config"), XDG_DATA_HOME=os.path.join(root, "data"),
                   XDG_RUNTIME_DIR=os.path.join(root, "run"), QT_QPA_PLATFORM="xcb")
        env.pop("SESSION_MANAGER", None)
        self.log = open(os.path.join(root, "app.log"), "w")
        self.proc = subprocess.Popen(["./veltry"], cwd=os.path.join(root, "prog"), env=env, stdout=self.log,
                                     stderr=subprocess.STDOUT)
        self.window = self.wait_window("Veltry Professional")

    def wait_window(self, title, tries=100):
        for _ in range(tries):
            out = run("xdotool", "search", "--all", "--onlyvisible", "--pid", str(self.proc.pid), "--name", "^%s$" % title).stdout.split()
            if out:
                return out[0]
            time.sleep(0.05)
        return None

    @staticmethod
    def focus(window):
        # Two programs' windows lie on one another without a window manager; keys go to the one
        # that has the focus (sent as from the keyboard, since a key sent to a window alone can
        # stay down).
        for _ in range(30):
            run("xdotool", "windowfocus", "--sync", window)
            if run("xdotool", "getwindowfocus").stdout.strip() == window:
                break
            time.sleep(0.05)
        time.sleep(0.1)

    def key(self, *keys, window=None):
        self.focus(window or self.window)
        run("xdotool", "key", *keys)

    def dialog_gone(self, title):
        for _ in range(60):
            if not run("xdotool", "search", "--all", "--onlyvisible", "--pid", str(self.proc.pid), "--name", "^%s$" % title).stdout.split():
                return True
            time.sleep(0.05)
        return False

    def add(self, text):
        self.key("Insert")
        dlg = self.wait_window("Add New Task")
        if not dlg:
            return False
        self.focus(dlg)
        run("xdotool", "type", "--delay", "5", text)
        run("xdotool", "key", "Return")
        return self.dialog_gone("Add New Task")

    def current(self, display):
        """The current task's description, read from the edit dialog, which is cancelled."""
        display.clear_clipboard()
        self.key("alt+e")
        dlg = self.wait_window("Edit Task")
        if not dlg:
            return None
        self.focus(dlg)
        run("xdotool", "key", "ctrl+a", "ctrl+c")
        time.sleep(0.05)
        text = display.clipboard()
        run("xdotool", "key", "Escape")
        self.dialog_gone("Edit Task")
        return None if text in (None, "\x01none", "") else text

    def edit(self, text):
        self.key("alt+e")
        dlg = self.wait_window("Edit Task")
        if not dlg:
            return False
        self.focus(dlg)
        run("xdotool", "key", "ctrl+a")
        run("xdotool", "type", "--delay", "5", text)
        run("xdotool", "key", "Return")
        return self.dialog_gone("Edit Task")

    def go_to(self, row):
        self.key("ctrl+Home", *(["Down"] * row))

    def stop(self):
        self.proc.terminate()
        try:
            self.proc.wait(30)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            return False
        return True


def read_grid(path):
    """Rows of a data file as {row: {col: text}}."""
    rows = {}
    if not os.path.exists(path):
        return rows
    data = open(path, "rb").read()
    if data.startswith(b"\xef\xbb\xbf"):
        text = data[3:].decode("utf-8")
    else:
        text = data.decode("cp1252", errors="replace")
    for line in text.split("\r\n")[1:]:
        parts = line.split(",", 2)
        if len(parts) == 3 and parts[0].isdigit() and parts[1].isdigit() and parts[1] != "0":
            rows.setdefault(int(parts[1]), {})[int(parts[0])] = parts[2]
    return rows


def identity(description):
    m = re.match(r"^(T\d+)(\.\d+)?( \(conflict\))*$", description)
    return m.group(1) if m else None


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("binary")
    ap.add_argument("--changes", type=int, default=1000)
    ap.add_argument("--minutes", type=float, default=10)
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--keep", action="store_true")
    args = ap.parse_args()
    rnd = random.Random(args.seed)
    tmp = tempfile.mkdtemp(prefix="veltry-soak-")
    shared = os.path.join(tmp, "shared")
    os.makedirs(shared)
    display = Display(tmp)
    copies = [Copy("a", tmp, os.path.abspath(args.binary), shared)]
    time.sleep(1.5)
    copies.append(Copy("b", tmp, os.path.abspath(args.binary), shared))
    time.sleep(1.5)
    if not all(c.window for c in copies):
        sys.exit("a copy did not show its window")

    listed = os.path.join(shared, "veltlist.vlp")
    history = os.path.join(shared, "veltlog.vlp")
    added, typed, removed = {}, {}, {}
    counts = dict(add=0, edit=0, check=0, log=0, remove=0, missed=0)
    next_task = 1
    started = time.time()
    budget = args.minutes * 60
    for n in range(args.changes):
        # Spread over the time given; a change that took longer leaves less pause after it.
        due = started + budget * n / args.changes
        if time.time() < due:
            time.sleep(due - time.time())
        copy = rnd.choice(copies)
        tasks = max(1, len(read_grid(listed)))
        what = rnd.choices(["add", "edit", "check", "log", "remove"], [35, 20, 25, 8, 12])[0]
        if what == "add" or tasks < 3:
            name = "T%d" % next_task
            next_task += 1
            if copy.add(name):
                added[name] = copy.name
                typed.setdefault(name, set()).add(name)
                counts["add"] += 1
            else:
                counts["missed"] += 1
            continue
        if what == "log":
            copy.key("alt+l")
            counts["log"] += 1
            continue
        copy.go_to(rnd.randrange(tasks))
        target = copy.current(display)
        who = identity(target) if target else None
        if not who:
            counts["missed"] += 1
            continue
        if what == "edit":
            text = "%s.%d" % (who, n)
            if copy.edit(text):
                typed.setdefault(who, set()).add(text)
                counts["edit"] += 1
        elif what == "check":
            copy.key("space")
            counts["check"] += 1
        else:
            copy.key("Delete")
            removed.setdefault(who, 0)
            removed[who] += 1
            counts["remove"] += 1
    elapsed = time.time() - started
    time.sleep(3)
    ended = all(c.stop() for c in copies)

    rows = read_grid(listed)
    logged = read_grid(history)
    in_list, copies_kept, doubled, strange = {}, 0, [], []
    for r in rows.values():
        d = r.get(1, "")
        who = identity(d)
        if who is None:
            strange.append(d)
            continue
        if d.endswith(" (conflict)"):
            copies_kept += 1
            continue
        in_list[who] = in_list.get(who, 0) + 1
        if d not in typed.get(who, ()):
            strange.append(d)
    for who, k in in_list.items():
        if k > 1:
            doubled.append(who)
    in_history = {}
    history_doubled = []
    seen_entries = set()
    for r in logged.values():
        d = r.get(1, "")
        who = identity(d)
        if who:
            in_history[who] = in_history.get(who, 0) + 1
        entry = tuple(r.get(c, "") for c in range(1, 7))
        if entry in seen_entries:
            history_doubled.append(d)
        seen_entries.add(entry)
    lost = [w for w in added if w not in in_list and w not in in_history and w not in removed]
    gone_by_removal = [w for w in added if w not in in_list and w not in in_history and w in removed]
    print("changes made: %d in %.0f s (%s)" % (sum(v for k, v in counts.items() if k != "missed"), elapsed,
                                               ", ".join("%s %d" % kv for kv in counts.items())))
    print("tasks added: %d; in the list at the end: %d; logged: %d; removed: %d; conflict copies: %d"
          % (len(added), len(in_list), len(in_history), len(gone_by_removal), copies_kept))
    print("lost: %d %s" % (len(lost), lost[:20]))
    print("doubled in the list: %d %s" % (len(doubled), doubled[:20]))
    print("doubled in the history: %d %s" % (len(history_doubled), history_doubled[:20]))
    print("texts nobody typed: %d %s" % (len(strange), strange[:20]))
    print("both copies ended: %s; lock left: %s" % (ended, os.path.exists(os.path.join(shared, "veltlist.lock"))))
    ok = ended and not lost and not doubled and not history_doubled and not strange
    if args.keep or not ok:
        print("kept:", tmp)
    else:
        shutil.rmtree(tmp, ignore_errors=True)
    display.proc.terminate()
    print("PASS" if ok else "FAIL")
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
