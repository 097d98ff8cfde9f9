#!/usr/bin/env python3
"""Installation and removal timings of the ONDU installer against plain tools (driven by install_bench.sh).

    install_bench.py linux   --build DIR --work DIR [--runs N]
    install_bench.py windows --build DIR --native-build DIR --work DIR [--runs N]
    install_bench.py wizard  --build DIR --work DIR [--runs N]

linux: a silent installation of the 2,000-file payload against `xz -dc | tar -xf -` of the same
tree (time and peak memory), and the removal of a 5,000-file installation against `rm -rf`.
windows (run inside a wine environment): the same installation against an NSIS installer of the
same tree run with /S, each timed from wine's start to the wine server's exit.
wizard (run with DISPLAY set, e.g. under Xvfb): the same installation unattended with the wizard
on screen (/AUTO, which shows the progress page and closes itself) against the silent one.

Each contender runs --runs times, alternating with the other so that both see the same share of a
busy machine. The table shows medians; the exit code is 1 when a limit is exceeded.
"""
import argparse
import filecmp
import os
import shutil
import statistics
import subprocess
import sys
import time

MIB = 1024 * 1024
# The closing action of installation and removal waits this long for running copies of the
# player to go; the wait is fixed inside the product, so it is taken off our measured times.
CLOSE_WAIT_S = 2.0

INSTALL_FILES, INSTALL_BYTES, INSTALL_SEED = 2000, 200 * MIB, 1
REMOVE_FILES, REMOVE_BYTES, REMOVE_SEED = 5000, 40 * MIB, 2

INSTALL_LIMIT = 1.25  # ours / (xz | tar)
MEMORY_SLACK = 32 * MIB  # ours at most payload + compressed size + this
REMOVE_LIMIT = 2.0  # ours / rm -rf
WINDOWS_LIMIT = 1.0  # ours / NSIS
WIZARD_LIMIT = 1.1  # /AUTO with the wizard / /AUTO /SILENT


def log(msg):
    print(f"--- {msg}", file=sys.stderr, flush=True)


def run_timed(argv, env=None, cwd=None, output=None):
    """Runs argv to its end; returns (seconds, peak resident bytes of the largest process, exit code)."""
    actions = []
    if output is not None:
        actions = [(os.POSIX_SPAWN_OPEN, 1, output, os.O_WRONLY | os.O_CREAT | os.O_APPEND, 0o644),
                   (os.POSIX_SPAWN_DUP2, 1, 2)]
    if cwd is not None:
        argv = ["/bin/sh", "-c", 'cd "$1" && shift && exec "$@"', "sh", cwd] + list(argv)
    start = time.perf_counter()
    pid = os.posix_spawnp(argv[0], argv, env if env is not None else os.environ, file_actions=actions)
    _, status, usage = os.wait4(pid, 0)
    seconds = time.perf_counter() - start
    return seconds, usage.ru_maxrss * 1024, os.waitstatus_to_exitcode(status)


def check(cond, msg):
    """A run that failed or a setup that cannot work: no figures, exit code 3."""
    if not cond:
        print(f"install_bench: {msg}", file=sys.stderr)
        sys.exit(3)


def sh(*argv, **kw):
    subprocess.run(argv, check=True, **kw)


def tree_files(root):
    """Relative path -> size of every file below root."""
    out = {}
    for folder, _, files in os.walk(root):
        for f in files:
            p = os.path.join(folder, f)
            out[os.path.relpath(p, root)] = os.path.getsize(p)
    return out


def verify_tree(expected, root, full, what):
    """Every file of the payload is in root with its size (and its bytes when full)."""
    got = tree_files(root)
    missing = [n for n, s in expected[1].items() if got.get(n) != s]
    check(not missing, f"{what}: {len(missing)} payload files missing or of the wrong size, e.g. {missing[:3]}")
    if full:
        for name in expected[1]:
            check(filecmp.cmp(os.path.join(expected[0], name), os.path.join(root, name), shallow=False),
                  f"{what}: {name} differs from the payload")


def remove(path):
    if os.path.lexists(path):
        shutil.rmtree(path)


def generate(args, name, files, size, seed, sample_script):
    """The payload tree, its script and a PRODUCT folder (the tree hard-linked plus the script)."""
    base = os.path.join(args.work, name)
    stamp = os.path.join(base, "stamp")
    want = f"{files} {size} {seed}\n"
    gen = os.path.join(args.native_build, "bench", "ondu_bench_payload")
    if not (os.path.exists(stamp) and open(stamp).read() == want):
        log(f"generating {name}: {files} files, {size / MIB:.0f} MiB")
        remove(base)
        os.makedirs(base)
        sh(gen, "tree", os.path.join(base, "tree"), str(files), str(size), str(seed))
        with open(stamp, "w") as f:
            f.write(want)
    # The script is rewritten every time, so that it follows the sample's.
    product = os.path.join(base, "PRODUCT")
    remove(product)
    shutil.copytree(os.path.join(base, "tree"), product, copy_function=os.link)
    sh(gen, "script", sample_script, os.path.join(base, "tree"), os.path.join(product, "Install.xml"))
    return base


def reference_archive(base):
    """The plain tar of the tree, compressed raw with LZMA1 preset 4 (kept between runs)."""
    lzma = os.path.join(base, "payload.lzma")
    if not os.path.exists(lzma):
        log("compressing the reference archive (xz, LZMA1 preset 4; this takes a few minutes)")
        with open(lzma + ".part", "wb") as out:
            tar = subprocess.Popen(["tar", "-cf", "-", "-C", os.path.join(base, "tree"), "."], stdout=subprocess.PIPE)
            subprocess.run(["xz", "--format=raw", "--lzma1=preset=4", "-c"], stdin=tar.stdout, stdout=out, check=True)
            tar.stdout.close()
            check(tar.wait() == 0, "tar failed")
        os.replace(lzma + ".part", lzma)
    return lzma


def build_installer(builder_argv, bare, setup, product, out, logfile):
    log(f"building {os.path.basename(out)}")
    remove_file(out)
    sh(*builder_argv, bare, setup, product, out, stdout=open(logfile, "a"), stderr=subprocess.STDOUT)
    os.chmod(out, 0o755)


def remove_file(path):
    if os.path.lexists(path):
        os.remove(path)


def sandbox_env(root, display=False):
    """Environment of an installer run whose machine-wide and per-user places live below root;
    without display the installer sees no screen."""
    env = dict(os.environ)
    for sub in ("root", "home", "tmp"):
        os.makedirs(os.path.join(root, sub), exist_ok=True)
    home = os.path.join(root, "home")
    env.update(KVL_SYSTEM_ROOT=os.path.join(root, "root"), HOME=home, TMPDIR=os.path.join(root, "tmp"),
               XDG_CONFIG_HOME=os.path.join(home, ".config"), XDG_DATA_HOME=os.path.join(home, ".local", "share"),
               XDG_CACHE_HOME=os.path.join(home, ".cache"))
    if not display:
        env.pop("DISPLAY", None)
    env.pop("WAYLAND_DISPLAY", None)
    return env


def median(xs):
    return statistics.median(xs)


class Table:
    def __init__(self, title):
        self.title = title
        self.rows = []
        self.verdicts = []

    def timing(self, name, seconds, note=""):
        self.rows.append(f"  {name:<46} {median(seconds):8.2f} s   runs: "
                         + " ".join(f"{s:.2f}" for s in seconds) + (f"   {note}" if note else ""))

    def limit(self, name, value, limit, unit, fmt):
        ok = value <= limit
        self.verdicts.append(ok)
        self.rows.append(f"  {name:<46} {fmt.format(value)} {unit}  limit {fmt.format(limit)} {unit}   "
                         + ("ok" if ok else "EXCEEDED"))

    def note(self, text):
        self.rows.append(f"  {text}")

    def print(self):
        print(f"\n{self.title}")
        for r in self.rows:
            print(r)
        sys.stdout.flush()
        return all(self.verdicts)


# ---- Linux ---------------------------------------------------------------------------------

def native_tools(args):
    """The native installer pieces of the build (bare program, builder, staged SETUP) and the run log."""
    check(os.geteuid() == 0, "the installer needs administrator rights: run as root (everything stays in the work folder)")
    build = args.build
    args.native_build = build
    bare = os.path.join(build, "app", "ondu-setup-bare")
    builder = [os.path.join(build, "tools", "ondu-build-installer")]
    setup = os.path.join(build, "samples", "ondu", "SETUP")
    for p in (bare, builder[0], setup):
        check(os.path.exists(p), f"{p} is missing; build first")
    return bare, builder, setup, os.path.join(args.work, "runs.log")


def linux(args):
    bare, builder, setup, logfile = native_tools(args)
    sample_script = os.path.join(setup, "Install.xml")

    a = generate(args, "payload-2000", INSTALL_FILES, INSTALL_BYTES, INSTALL_SEED, sample_script)
    b = generate(args, "payload-5000", REMOVE_FILES, REMOVE_BYTES, REMOVE_SEED, sample_script)
    lzma = reference_archive(a)
    inst_a = os.path.join(a, "ondu-setup")
    inst_b = os.path.join(b, "ondu-setup")
    build_installer(builder, bare, setup, os.path.join(a, "PRODUCT"), inst_a, logfile)
    build_installer(builder, bare, setup, os.path.join(b, "PRODUCT"), inst_b, logfile)
    expected_a = (os.path.join(a, "tree"), tree_files(os.path.join(a, "tree")))
    expected_b = (os.path.join(b, "tree"), tree_files(os.path.join(b, "tree")))
    compressed = os.path.getsize(inst_a) - os.path.getsize(bare)
    runs = os.path.join(args.work, "runs")

    # Installation, alternating which contender goes first.
    ref_t, ours_t, ours_mem, ref_mem = [], [], [], []
    for i in range(args.runs):
        order = ("ref", "ours") if i % 2 == 0 else ("ours", "ref")
        for who in order:
            remove(runs)
            os.makedirs(runs)
            dest = os.path.join(runs, "dest")
            sh("sync")
            if who == "ref":
                os.makedirs(dest)
                t, mem, rc = run_timed(["/bin/sh", "-c",
                                        'xz --format=raw --lzma1=preset=4 -dc "$1" | tar -xf - -C "$2"', "sh", lzma, dest])
                check(rc == 0, "xz | tar failed")
                ref_t.append(t)
                ref_mem.append(mem)
            else:
                env = sandbox_env(os.path.join(runs, "sandbox"))
                t, mem, rc = run_timed([inst_a, f"/AUTO={dest}", "/SILENT"], env=env, output=logfile)
                check(rc == 0, f"the installer failed (exit code {rc}); see {logfile}")
                ours_t.append(t - CLOSE_WAIT_S)
                ours_mem.append(mem)
            verify_tree(expected_a, dest, full=i == 0, what=f"{who} run {i + 1}")
            log(f"install run {i + 1} {who}: {(ref_t if who == 'ref' else ours_t)[-1]:.2f} s")

    # Removal: install (untimed), copy the installed folder, then time the uninstaller against
    # rm -rf of the copy.
    rm_t, un_t = [], []
    for i in range(args.runs):
        remove(runs)
        os.makedirs(runs)
        dest = os.path.join(runs, "dest")
        env = sandbox_env(os.path.join(runs, "sandbox"))
        _, _, rc = run_timed([inst_b, f"/AUTO={dest}", "/SILENT"], env=env, output=logfile)
        check(rc == 0, f"the installer failed (exit code {rc}); see {logfile}")
        verify_tree(expected_b, dest, full=False, what=f"removal setup {i + 1}")
        installed = len(tree_files(dest))
        copy = os.path.join(runs, "copy")
        sh("cp", "-a", dest, copy)
        order = ("rm", "ours") if i % 2 == 0 else ("ours", "rm")
        for who in order:
            sh("sync")
            if who == "rm":
                t, _, rc = run_timed(["rm", "-rf", copy])
                check(rc == 0 and not os.path.exists(copy), "rm -rf failed")
                rm_t.append(t)
            else:
                uninstaller = os.path.join(dest, "Uninstall.exe")
                t, _, rc = run_timed([uninstaller, "/AUTO", "/SILENT", f"/PATH={dest}"], env=env, output=logfile)
                check(rc == 0, f"the uninstaller failed (exit code {rc}); see {logfile}")
                # The player's configuration is written after extraction and is not recorded
                # in Uninstall.ini: removal leaves it by design.
                left = [f for f in (tree_files(dest) if os.path.exists(dest) else {}) if f != "ONDU.ini"]
                check(not left, f"removal left {len(left)} files, e.g. {sorted(left)[:3]}")
                un_t.append(t - CLOSE_WAIT_S)
            log(f"removal run {i + 1} {who}: {(rm_t if who == 'rm' else un_t)[-1]:.2f} s")
    remove(runs)

    t = Table(f"Linux: silent installation of {INSTALL_FILES} files, {INSTALL_BYTES / MIB:.0f} MiB "
              f"(packages {compressed / MIB:.1f} MiB, reference archive {os.path.getsize(lzma) / MIB:.1f} MiB), "
              f"{args.runs} runs each, interleaved")
    t.timing("xz -dc payload.lzma | tar -xf -", ref_t)
    t.timing("ondu-setup /AUTO=<folder> /SILENT", ours_t, f"({CLOSE_WAIT_S:.1f} s closing wait taken off)")
    t.limit("installation: ours / xz|tar", median(ours_t) / median(ref_t), INSTALL_LIMIT, "x ", "{:8.2f}")
    t.limit("peak memory of ours (max RSS)", max(ours_mem) / MIB, (INSTALL_BYTES + compressed + MEMORY_SLACK) / MIB,
            "MiB", "{:8.1f}")
    t.note(f"(memory limit = payload {INSTALL_BYTES / MIB:.0f} + packages {compressed / MIB:.1f} + 32 MiB; "
           f"xz|tar peak {max(ref_mem) / MIB:.1f} MiB)")
    t.note("")
    t.note(f"removal of {installed} installed files ({REMOVE_FILES} payload files, {REMOVE_BYTES / MIB:.0f} MiB):")
    t.timing("rm -rf <copy of the installed folder>", rm_t)
    t.timing("Uninstall.exe /AUTO /SILENT /PATH=<folder>", un_t, f"({CLOSE_WAIT_S:.1f} s closing wait taken off)")
    t.limit("removal: ours / rm -rf", median(un_t) / median(rm_t), REMOVE_LIMIT, "x ", "{:8.2f}")
    return t.print()


# ---- Wizard against silent ------------------------------------------------------------------

def wizard(args):
    check(os.environ.get("DISPLAY"), "the wizard needs a display: run under scripts/with-display.sh")
    bare, builder, setup, logfile = native_tools(args)
    a = generate(args, "payload-2000", INSTALL_FILES, INSTALL_BYTES, INSTALL_SEED, os.path.join(setup, "Install.xml"))
    inst = os.path.join(a, "ondu-setup")
    build_installer(builder, bare, setup, os.path.join(a, "PRODUCT"), inst, logfile)
    expected = (os.path.join(a, "tree"), tree_files(os.path.join(a, "tree")))
    runs = os.path.join(args.work, "runs")

    times = {"silent": [], "wizard": []}
    for i in range(args.runs):
        order = ("silent", "wizard") if i % 2 == 0 else ("wizard", "silent")
        for who in order:
            remove(runs)
            os.makedirs(runs)
            dest = os.path.join(runs, "dest")
            sh("sync")
            # Both runs see the display, so the closing action looks for the player alike.
            env = sandbox_env(os.path.join(runs, "sandbox"), display=True)
            argv = [inst, f"/AUTO={dest}"] + (["/SILENT"] if who == "silent" else [])
            t, _, rc = run_timed(argv, env=env, output=logfile)
            check(rc == 0, f"the {who} installation failed (exit code {rc}); see {logfile}")
            times[who].append(t - CLOSE_WAIT_S)
            verify_tree(expected, dest, full=i == 0, what=f"{who} run {i + 1}")
            log(f"install run {i + 1} {who}: {times[who][-1]:.2f} s")
    remove(runs)

    t = Table(f"Linux: unattended installation of {INSTALL_FILES} files, {INSTALL_BYTES / MIB:.0f} MiB with the "
              f"wizard on screen against the silent one, {args.runs} runs each, interleaved")
    t.timing("ondu-setup /AUTO=<folder> /SILENT", times["silent"], f"({CLOSE_WAIT_S:.1f} s closing wait taken off)")
    t.timing("ondu-setup /AUTO=<folder> (wizard)", times["wizard"], f"({CLOSE_WAIT_S:.1f} s closing wait taken off)")
    t.limit("wizard / silent", median(times["wizard"]) / median(times["silent"]), WIZARD_LIMIT, "x ", "{:8.2f}")
    return t.print()


# ---- Windows under wine --------------------------------------------------------------------

NSIS_SCRIPT = r"""; Reference installer of the benchmark payload: solid LZMA, files, uninstaller, registry entry.
Unicode true
Target {target}
SetCompressor /SOLID lzma
Name "ONDU"
OutFile "{out}"
InstallDir "$PROGRAMFILES64\ONDU"
RequestExecutionLevel admin
Page directory
Page instfiles

Section "ONDU"
  SetRegView 64
  SetOutPath "$INSTDIR"
  File /r "{tree}/*"
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  WriteRegStr HKLM "Software\Microsoft\Windows\CurrentVersion\Uninstall\ONDU" "DisplayName" "ONDU"
  WriteRegStr HKLM "Software\Microsoft\Windows\CurrentVersion\Uninstall\ONDU" "UninstallString" '"$INSTDIR\Uninstall.exe"'
SectionEnd

Section "Uninstall"
  SetRegView 64
  RMDir /r "$INSTDIR"
  DeleteRegKey HKLM "Software\Microsoft\Windows\CurrentVersion\Uninstall\ONDU"
SectionEnd
"""


def nsis_target():
    """amd64-unicode when Debian's nsis ships the 64-bit stubs, else x86-unicode."""
    stubs = "/usr/share/nsis/Stubs"
    return "amd64-unicode" if os.path.exists(os.path.join(stubs, "lzma_solid-amd64-unicode")) else "x86-unicode"


def wine_time(argv, logfile):
    """Seconds from wine's start until the wine server has gone."""
    run_timed(["wineserver", "-w"])  # nothing left over from before
    start = time.perf_counter()
    _, _, rc = run_timed(["wine"] + argv, output=logfile)
    run_timed(["wineserver", "-w"])
    return time.perf_counter() - start, rc


def windows(args):
    check("WINEPREFIX" in os.environ, "run inside the wine environment (install_bench.sh --windows does)")
    build = args.build
    bare = os.path.join(build, "app", "ondu-setup-bare.exe")
    builder = ["wine", os.path.join(build, "tools", "ondu-build-installer.exe")]
    setup = os.path.join(build, "samples", "ondu", "SETUP")
    sample_script = os.path.join(setup, "Install.xml")
    for p in (bare, builder[1], setup):
        check(os.path.exists(p), f"{p} is missing; build first")
    logfile = os.path.join(args.work, "wine-runs.log")
    a = generate(args, "payload-2000", INSTALL_FILES, INSTALL_BYTES, INSTALL_SEED, sample_script)
    expected = (os.path.join(a, "tree"), tree_files(os.path.join(a, "tree")))

    ours = os.path.join(a, "ondu-setup.exe")
    build_installer(builder, bare, setup, os.path.join(a, "PRODUCT"), ours, logfile)
    sh("wineserver", "-w")
    target = nsis_target()
    nsis = os.path.join(a, f"nsis-{target}.exe")
    if not os.path.exists(nsis):
        log(f"building the NSIS installer ({target}, solid LZMA; this takes a few minutes)")
        script = os.path.join(a, "reference.nsi")
        with open(script, "w") as f:
            f.write(NSIS_SCRIPT.format(target=target, out=nsis + ".part", tree=os.path.join(a, "tree")))
        sh("makensis", "-V2", script, stdout=open(logfile, "a"), stderr=subprocess.STDOUT)
        os.replace(nsis + ".part", nsis)

    drive_c = os.path.join(os.environ["WINEPREFIX"], "drive_c")
    runs = os.path.join(drive_c, "ONDUBench")
    nsis_t, ours_t = [], []
    for i in range(args.runs):
        order = ("nsis", "ours") if i % 2 == 0 else ("ours", "nsis")
        for who in order:
            remove(runs)
            os.makedirs(runs)
            dest = os.path.join(runs, "dest")
            sh("sync")
            if who == "nsis":
                t, rc = wine_time([nsis, "/S", r"/D=C:\ONDUBench\dest"], logfile)
                check(rc == 0, f"the NSIS installer failed (exit code {rc})")
                nsis_t.append(t)
            else:
                t, rc = wine_time([ours, r"/AUTO=C:\ONDUBench\dest", "/SILENT"], logfile)
                check(rc == 0, f"the installer failed (exit code {rc}); see {logfile}")
                ours_t.append(t - CLOSE_WAIT_S)
            verify_tree(expected, dest, full=i == 0, what=f"{who} run {i + 1}")
            log(f"wine install run {i + 1} {who}: {(nsis_t if who == 'nsis' else ours_t)[-1]:.2f} s")
    remove(runs)

    t = Table(f"Windows x64 under wine: silent installation of {INSTALL_FILES} files, {INSTALL_BYTES / MIB:.0f} MiB "
              f"(ours {os.path.getsize(ours) / MIB:.1f} MiB, NSIS {os.path.getsize(nsis) / MIB:.1f} MiB), "
              f"{args.runs} runs each, interleaved, wine start to wine server exit")
    t.timing(f"NSIS ({target}, /SOLID lzma) /S", nsis_t)
    t.timing("ondu-setup.exe /AUTO=<folder> /SILENT", ours_t, f"({CLOSE_WAIT_S:.1f} s closing wait taken off)")
    t.limit("installation: ours / NSIS", median(ours_t) / median(nsis_t), WINDOWS_LIMIT, "x ", "{:8.2f}")
    return t.print()


def main():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("leg", choices=("linux", "windows", "wizard"))
    p.add_argument("--build", required=True, help="build folder of the installer under test")
    p.add_argument("--native-build", help="native build folder with the payload generator (windows leg)")
    p.add_argument("--work", required=True, help="folder for payloads, installers and runs (reused)")
    p.add_argument("--runs", type=int, default=5)
    args = p.parse_args()
    check(args.runs >= 3, "--runs must be at least 3: a median of fewer says little on a shared machine")
    args.work = os.path.abspath(args.work)
    os.makedirs(args.work, exist_ok=True)
    if args.leg == "linux":
        ok = linux(args)
    elif args.leg == "wizard":
        ok = wizard(args)
    else:
        check(args.native_build, "--native-build is needed for the windows leg")
        ok = windows(args)
    sys.exit(0 if ok else 1)


if __name__ == "__main__":
    main()
