#!/usr/bin/env python3
"""The interactive installer in a real window, driven like a user: language dialog, wizard
pages, closing during installation, and the removal wizard. Checked on disk afterwards.

Runs under an X server (scripts/with-display.sh). Geometry is the wizard's own at 96 dots
per inch: buttons, boxes and radio buttons are clicked where the pages put them."""
import argparse
import os
import random
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(__file__))
import xwin  # noqa: E402

NEXT = (571, 459)
LICENSE_BOX = (36, 406)
PORTABLE_RADIO = (68, 265)
FINISH_BOX1 = (218, 128)
LANG_OK = (110, 54)


class Run:
    def __init__(self, args, name):
        self.args = args
        self.name = name
        self.root = os.path.join(args.work, name)
        shutil.rmtree(self.root, ignore_errors=True)
        for d in ("root", "home", "tmp", "logs"):
            os.makedirs(os.path.join(self.root, d))
        self.env = dict(os.environ)
        self.env.update(ONDU_STANDIN_LOG_DIR=os.path.join(self.root, "logs"), KVL_COLOR_SCHEME=args.scheme)
        if not args.wine:
            # Under wine the prefix is the machine; natively a sandbox stands in for it.
            self.env.update(KVL_SYSTEM_ROOT=os.path.join(self.root, "root"), HOME=os.path.join(self.root, "home"),
                            TMPDIR=os.path.join(self.root, "tmp"))
        self.shot = 0

    def start(self, program, *switches):
        cmd = ([self.args.wine] if self.args.wine else []) + [program, *switches]
        self.proc = subprocess.Popen(cmd, env=self.env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)

    def screenshot(self, win, page):
        self.shot += 1
        win.screenshot(os.path.join(self.args.shots, f"{self.args.system}-{self.args.scheme}-{self.name}-"
                                    f"{self.shot:02d}-{page}.png"))

    def wait(self, timeout=120):
        try:
            out, _ = self.proc.communicate(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            raise AssertionError(f"{self.name}: the installer hung")
        return self.proc.returncode, out.decode(errors="replace")


def check(cond, what):
    if not cond:
        raise AssertionError(what)


def wizard_window(run, caption, timeout=120):
    wid = xwin.find(caption, timeout)
    time.sleep(0.3)  # first paint
    return xwin.Window(wid, 640, 480)


def installed_folders(run):
    """Folders named ONDU that hold an uninstaller's data, below the places a run writes to."""
    roots = [run.env.get("KVL_SYSTEM_ROOT", ""), run.env.get("HOME", ""), run.env.get("WINEPREFIX", "")]
    found = []
    for root in filter(None, roots):
        for dirpath, dirnames, filenames in os.walk(root):
            if os.path.basename(dirpath) == "ONDU" and "Uninstall.dat" in filenames:
                found.append(dirpath)
    return found


def wait_for(pred, timeout, what):
    deadline = time.time() + timeout
    while time.time() < deadline:
        if pred():
            return
        time.sleep(0.1)
    raise AssertionError(f"timed out waiting for {what}")


def interactive_install(args, portable):
    run = Run(args, "portable" if portable else "standard")
    before = set(installed_folders(run))
    run.start(args.installer)
    lang = xwin.Window(xwin.find("Select Language", 120), 220, 75)
    time.sleep(0.3)
    run.screenshot(lang, "language")
    lang.click(*LANG_OK)
    win = wizard_window(run, args.caption)
    pages = ["welcome", "license", "setup"]
    for page in pages:
        run.screenshot(win, page)
        if page == "license":
            win.click(*LICENSE_BOX)
            run.screenshot(win, "license-accepted")
        if page == "setup" and portable:
            win.click(*PORTABLE_RADIO)
            run.screenshot(win, "setup-portable")
        win.click(*NEXT)
    if not portable:
        run.screenshot(win, "integration")
        win.click(*NEXT)
    run.screenshot(win, "ready")
    win.click(*NEXT)
    found = []
    wait_for(lambda: found.extend(set(installed_folders(run)) - before) or found, 120, "the installation")
    dest = found[0]
    time.sleep(1.0)
    run.screenshot(win, "finish")
    win.click(*FINISH_BOX1)  # the first program is not launched
    run.screenshot(win, "finish-unticked")
    win.click(*NEXT)
    code, out = run.wait()
    check(code == 0, f"{run.name}: exit code {code}\n{out}")
    check(os.path.exists(os.path.join(dest, "ONDU.exe")), f"{run.name}: player not installed in {dest}")
    in_program_files = os.sep + args.program_files + os.sep in dest
    check(in_program_files != portable, f"{run.name}: installed into {dest}")
    if not args.wine:
        registry = os.path.join(run.env["KVL_SYSTEM_ROOT"], "var", "lib", "kvl", "registry.txt")
        text = open(registry, encoding="utf-8", errors="replace").read() if os.path.exists(registry) else ""
        registered = "Uninstall\\ONDU]" in text
        check(registered != portable, f"{run.name}: registered={registered}")
    print(f"ok: {args.system} {args.scheme} interactive {run.name} install into {dest}")
    return run, dest


def uninstall(args, run, dest):
    run.name = run.name + "-removal"
    run.start(os.path.join(dest, "Uninstall.exe"))
    lang = xwin.Window(xwin.find("Select Language", 60), 220, 75)
    time.sleep(0.3)
    lang.click(*LANG_OK)
    win = wizard_window(run, args.caption)
    run.screenshot(win, "uninstall-options")
    win.click(*NEXT)
    wait_for(lambda: not os.path.exists(os.path.join(dest, "ONDU.exe")), 120, "the removal")
    time.sleep(1.0)
    run.screenshot(win, "uninstall-finish")
    win.click(*NEXT)
    code, out = run.wait()
    check(code == 0, f"removal: exit code {code}\n{out}")
    print(f"ok: {args.system} {args.scheme} removal wizard")


def close_during_install(args, rounds):
    outcomes = {"ok": 0, "cancel": 0, "finished-first": 0}
    for i in range(rounds):
        run = Run(args, f"close{i:02d}")
        if args.wine:
            dest = os.path.join(run.env["WINEPREFIX"], "drive_c", "ondu-close", f"{i:02d}", "ONDU")
            switch = f"/AUTO=C:\\ondu-close\\{i:02d}\\ONDU\\"
        else:
            dest = os.path.join(run.env["KVL_SYSTEM_ROOT"], "opt", "ONDU")
            switch = f"/AUTO={dest}/"
        run.start(args.installer, switch)
        wid = xwin.find(args.caption, 60)
        win = xwin.Window(wid, 640, 480)
        time.sleep(random.uniform(0, args.close_window))
        answer = random.choice(["ok", "cancel"])
        xwin.request_close(wid)
        try:
            dialog = xwin.find(args.caption, 5, exclude=(wid,))
        except TimeoutError:
            code, out = run.wait()
            check(code == 0, f"round {i}: no question and exit code {code}\n{out}")
            outcomes["finished-first"] += 1
            continue
        _, _, w, h = xwin.geometry(dialog)
        box = xwin.Window(dialog, w - 2 * win.ox, h - win.oy - win.ox)
        if i == 0:
            run.screenshot(box, "close-question")
        cw, ch = w - 2 * win.ox, h - win.oy - win.ox
        box.click(cw - 140 if answer == "ok" else cw - 52, ch - 24)
        code, out = run.wait()
        outcomes[answer] += 1
        if answer == "ok":
            check(code in (0, 2), f"round {i}: OK gave exit code {code}\n{out}")
            launched = os.listdir(run.env["ONDU_STANDIN_LOG_DIR"])
            check(code == 0 or not launched, f"round {i}: programs launched after cancelling: {launched}")
        else:
            check(code == 0, f"round {i}: Cancel gave exit code {code}\n{out}")
            check(os.path.exists(os.path.join(dest, "Uninstall.dat")), f"round {i}: Cancel did not finish")
        shutil.rmtree(run.root, ignore_errors=True)
    print(f"ok: {args.system} closing during installation x{rounds}: {outcomes}")


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--installer", required=True)
    p.add_argument("--wine", default="")
    p.add_argument("--system", default="linux")
    p.add_argument("--scheme", default="light")
    p.add_argument("--caption", default="ONDU Setup")
    p.add_argument("--program-files", default="opt")
    p.add_argument("--shots", required=True)
    p.add_argument("--work", required=True)
    p.add_argument("--close-rounds", type=int, default=0)
    p.add_argument("--close-window", type=float, default=1.0)
    args = p.parse_args()
    run, dest = interactive_install(args, portable=args.scheme == "light")
    uninstall(args, run, dest)
    if args.close_rounds:
        close_during_install(args, args.close_rounds)


if __name__ == "__main__":
    main()
