#!/usr/bin/env python3
"""Backup timing of the ONDU installer against `zip -r -6` (driven by backup_bench.sh).

    backup_bench.py --build DIR --work DIR [--runs N]

Backs up a generated 3,000-file, 300 MiB installation with the installer's archive writer
(ondu_backup_bench: the file list, size check and writer exactly as the preparation action uses
them) and with `zip -r -6 -q` of the same tree, alternating which goes first. Then the writer's
peak memory on a tree a quarter of that size, to show that memory does not follow the archive.
Prints medians, every run, the ratio and the limits; exit code 1 when a limit is exceeded, 3 when
a contender fails or writes the wrong archive.
"""
import argparse
import os
import statistics
import subprocess
import sys
import time
import zipfile

MIB = 1024 * 1024
BIG_FILES, BIG_BYTES = 3000, 300 * MIB
SMALL_FILES, SMALL_BYTES = 750, 75 * MIB
SEED = 3
TIME_LIMIT = 1.2  # ours / zip -r -6
MEMORY_GROWTH_LIMIT = 8 * MIB  # peak memory, big tree minus small tree


def log(msg):
    print(f"--- {msg}", file=sys.stderr, flush=True)


def check(cond, msg):
    if not cond:
        print(f"backup_bench: {msg}", file=sys.stderr)
        sys.exit(3)


def run_timed(argv, cwd=None):
    """Runs argv to its end; returns (seconds, CPU seconds, peak resident bytes, exit code)."""
    if cwd is not None:
        argv = ["/bin/sh", "-c", 'cd "$1" && shift && exec "$@"', "sh", cwd] + list(argv)
    start = time.perf_counter()
    pid = os.posix_spawnp(argv[0], argv, os.environ)
    _, status, usage = os.wait4(pid, 0)
    return (time.perf_counter() - start, usage.ru_utime + usage.ru_stime, usage.ru_maxrss * 1024,
            os.waitstatus_to_exitcode(status))


def generate(build, folder, files, size):
    if os.path.isdir(folder):
        return
    log(f"generating {files} files, {size // MIB} MiB in {folder}")
    subprocess.run([os.path.join(build, "bench", "ondu_bench_payload"), "tree", folder + ".part", str(files),
                    str(size), str(SEED)], check=True)
    os.rename(folder + ".part", folder)


def tree_files(root):
    out = {}
    for base, _, names in os.walk(root):
        for n in names:
            p = os.path.join(base, n)
            out[os.path.relpath(p, root).replace(os.sep, "/")] = os.path.getsize(p)
    return out


def verify(archive, tree, prefix, full):
    expected = {prefix + k: v for k, v in tree_files(tree).items()}
    with zipfile.ZipFile(archive) as z:
        got = {i.filename: i.file_size for i in z.infolist() if not i.filename.endswith("/")}
        check(got == expected, f"{archive} does not hold the tree ({len(got)} of {len(expected)} files)")
        check(all(i.compress_type == zipfile.ZIP_DEFLATED for i in z.infolist() if i.file_size),
              f"{archive}: an entry is not deflated")
        if full:
            check(z.testzip() is None, f"{archive}: a CRC does not match")


def remove(path):
    if os.path.exists(path):
        os.remove(path)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", required=True)
    ap.add_argument("--work", required=True)
    ap.add_argument("--runs", type=int, default=5)
    args = ap.parse_args()
    runs = max(args.runs, 3)
    ours_exe = os.path.join(args.build, "bench", "ondu_backup_bench")

    big = os.path.join(args.work, "tree-300")
    small = os.path.join(args.work, "tree-75")
    generate(args.build, big, BIG_FILES, BIG_BYTES)
    generate(args.build, small, SMALL_FILES, SMALL_BYTES)
    out = os.path.join(args.work, "out")
    os.makedirs(out, exist_ok=True)
    ours_zip, ref_zip = os.path.join(out, "ours.zip"), os.path.join(out, "zip.zip")

    def ours(tree):
        remove(ours_zip)
        subprocess.run(["sync"])
        s, cpu, rss, code = run_timed([ours_exe, tree, ours_zip])
        check(code == 0, f"ondu_backup_bench exited with {code}")
        return s, cpu, rss

    def reference(tree):
        remove(ref_zip)
        subprocess.run(["sync"])
        s, cpu, rss, code = run_timed(["zip", "-r", "-6", "-q", ref_zip, "."], cwd=tree)
        check(code == 0, f"zip exited with {code}")
        return s, cpu, rss

    times = {"ours": [], "zip": []}
    cpus = {"ours": [], "zip": []}
    rss_big = []
    for i in range(runs):
        order = ["ours", "zip"] if i % 2 == 0 else ["zip", "ours"]
        for who in order:
            log(f"run {i + 1}/{runs}: {who}")
            if who == "ours":
                s, cpu, rss = ours(big)
                rss_big.append(rss)
                if i == 0:
                    verify(ours_zip, big, "Program/", True)
            else:
                s, cpu, _ = reference(big)
            times[who].append(s)
            cpus[who].append(cpu)
    sizes = (os.path.getsize(ours_zip), os.path.getsize(ref_zip))

    rss_small = []
    for i in range(runs):
        log(f"small tree {i + 1}/{runs}")
        _, _, rss = ours(small)
        rss_small.append(rss)
    verify(ours_zip, small, "Program/", False)

    med = {k: statistics.median(v) for k, v in times.items()}
    cpu_med = {k: statistics.median(v) for k, v in cpus.items()}
    ratio = med["ours"] / med["zip"]
    growth = statistics.median(rss_big) - statistics.median(rss_small)
    print()
    print(f"Backup of {BIG_FILES} files, {BIG_BYTES // MIB} MiB ({runs} runs, medians)")
    print(f"  zip -r -6        {med['zip']:7.2f} s   runs {', '.join(f'{t:.2f}' for t in times['zip'])}"
          f"   archive {sizes[1] / MIB:.1f} MiB")
    print(f"  ondu backup      {med['ours']:7.2f} s   runs {', '.join(f'{t:.2f}' for t in times['ours'])}"
          f"   archive {sizes[0] / MIB:.1f} MiB")
    print(f"  ratio            {ratio:7.3f}     limit {TIME_LIMIT:.2f}   {'ok' if ratio <= TIME_LIMIT else 'EXCEEDED'}")
    print(f"  CPU time (user + system, not limited): zip {cpu_med['zip']:.2f} s, ours {cpu_med['ours']:.2f} s, "
          f"ratio {cpu_med['ours'] / cpu_med['zip']:.3f}")
    print("Peak resident memory of the backup (medians)")
    print(f"  {SMALL_FILES} files, {SMALL_BYTES // MIB} MiB   {statistics.median(rss_small) / MIB:7.1f} MiB")
    print(f"  {BIG_FILES} files, {BIG_BYTES // MIB} MiB  {statistics.median(rss_big) / MIB:7.1f} MiB")
    print(f"  growth           {growth / MIB:7.1f} MiB   limit {MEMORY_GROWTH_LIMIT / MIB:.0f} MiB   "
          f"{'ok' if growth <= MEMORY_GROWTH_LIMIT else 'EXCEEDED'}")
    sys.exit(0 if ratio <= TIME_LIMIT and growth <= MEMORY_GROWTH_LIMIT else 1)


if __name__ == "__main__":
    main()
