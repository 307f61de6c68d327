"""End-to-end benchmark of the frame job: load, frame, save at the same depth.

Run through bench/run.sh, which builds the programs first. For each test
image it times, interleaved over several runs, `cp`, the streaming baseline,
bmpframe (or bmpbench_frame where the tool is not built) and every general
image tool that is installed, and reports medians with peak memory. It
checks that the baseline writes bmpframe's bytes exactly and that each tool
gives bmpframe's colours, then writes docs/benchmark.md and docs/benchmark.png.
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.path.join(ROOT, "build", "release")
BENCH = os.path.join(BUILD, "bench")
CLI = os.path.join(BUILD, "cli", "bmpframe")
PYTHON = "/usr/bin/python3"  # Debian's, where python3-pil and python3-opencv install
PEER_SCRIPT = os.path.join(ROOT, "bench", "peer_frame.py")
MB = 1 << 20

# name, depth, width, height; the acceptance limit of bmpframe / baseline.
IMAGES = [
    (24, 8000, 8000, 2.0),
    (32, 8000, 8000, 2.0),
    (24, 4000, 3000, 2.0),
    (16, 8000, 8000, 2.5),
    (8, 8000, 8000, 2.5),
    (4, 8000, 8000, 3.0),
    (1, 8000, 8000, 3.0),
]
PEER_FACTOR = 5.0  # bmpframe must beat the fastest peer keeping the depth by this much
MEMORY_SLACK = 32 * MB  # peak memory allowed beyond 4 bytes per pixel
BATCH_FILES = 16
BATCH_LIMIT = 0.65  # -j 2 time over -j 1 time


TIME = "/usr/bin/time"  # measures the command's own peak memory: a child of this
# interpreter would count the interpreter's pages it had before exec


def run(command):
    """Runs a command; returns (seconds, peak resident bytes, user seconds, system seconds)."""
    with tempfile.NamedTemporaryFile("r") as report:
        start = time.perf_counter()
        process = subprocess.run([TIME, "-f", "%M %U %S", "-o", report.name] + command, stdout=subprocess.DEVNULL,
                                 stderr=subprocess.PIPE)
        seconds = time.perf_counter() - start
        if process.returncode != 0:
            raise RuntimeError("%s failed: %s" % (" ".join(command), process.stderr.decode(errors="replace")))
        kilobytes, user, system = report.read().split()[-3:]
    return seconds, int(kilobytes) * 1024, float(user), float(system)


def bit_count(path):
    with open(path, "rb") as file:
        header = file.read(30)
    if len(header) < 30 or header[:2] != b"BM":
        return None
    return int.from_bytes(header[28:30], "little")


class Tool:
    def __init__(self, name, command, peer=False):
        self.name = name
        self.command = command  # (input, mask, output, depth) -> argv
        self.peer = peer


def imagemagick_command(program):
    def command(source, mask, target, depth):
        if depth <= 8:
            tail = ["-type", "Palette", "-compress", "None", "BMP3:" + target]
        elif depth == 16:
            tail = ["-define", "bmp:subtype=RGB565", "BMP:" + target]
        elif depth == 24:
            tail = ["-type", "TrueColor", "BMP3:" + target]
        else:
            tail = ["-alpha", "set", "-type", "TrueColorAlpha", "BMP:" + target]
        return program + [source, mask, "-compose", "Multiply", "-composite"] + tail
    return command


def graphicsmagick_command(source, mask, target, depth):
    palette = ["-type", "Palette"] if depth <= 8 else []
    prefix = "BMP3:" if depth in (8, 4, 1, 24) else "BMP:"
    return ["gm", "composite", "-compose", "Multiply"] + palette + [mask, source, prefix + target]


def python_has(module):
    return subprocess.run([PYTHON, "-c", "import " + module], capture_output=True).returncode == 0


def find_tools(notes):
    frame = CLI if os.access(CLI, os.X_OK) else os.path.join(BENCH, "bmpbench_frame")
    if frame != CLI:
        notes.append("bmpframe is not built: its row times bmpbench_frame, which makes the same library call.")
    tools = [
        Tool("cp", lambda s, m, t, d: ["cp", s, t]),
        Tool("baseline", lambda s, m, t, d: [os.path.join(BENCH, "bmpbench_baseline"), s, t]),
        Tool("bmpframe", lambda s, m, t, d: [frame, s, t]),
    ]
    if shutil.which("magick"):
        tools.append(Tool("ImageMagick", imagemagick_command(["magick"]), peer=True))
    elif os.access("/usr/bin/convert-im6.q16", os.X_OK):
        tools.append(Tool("ImageMagick", imagemagick_command(["/usr/bin/convert-im6.q16"]), peer=True))
    else:
        notes.append("ImageMagick is not installed: skipped (apt-get install imagemagick).")
    if shutil.which("gm"):
        tools.append(Tool("GraphicsMagick", graphicsmagick_command, peer=True))
    else:
        notes.append("GraphicsMagick is not installed: skipped (apt-get install graphicsmagick).")
    for name, module, package in (("Pillow", "PIL", "python3-pil"), ("OpenCV", "cv2", "python3-opencv")):
        if os.access(PYTHON, os.X_OK) and python_has(module):
            library = name.lower()
            tools.append(Tool(name, lambda s, m, t, d, library=library: [PYTHON, PEER_SCRIPT, library, s, m, t],
                              peer=True))
        else:
            notes.append("%s is not installed: skipped (apt-get install %s)." % (name, package))
    return tools


def check_space(folder, images):
    needed = sum(RowBytes(depth, width) * height for depth, width, height, _ in images) * 2 + 1024 * MB
    free = shutil.disk_usage(folder).free
    if free < needed:
        raise SystemExit("need %d MB free in %s, have %d MB" % (needed // MB, folder, free // MB))


def RowBytes(depth, width):
    return (depth * width + 31) // 32 * 4


def compare(expected, actual):
    """'same', 'N px differ', or 'unchecked' when the library cannot read the tool's file."""
    process = subprocess.run([os.path.join(BENCH, "bmpbench_compare"), expected, actual], capture_output=True,
                             text=True)
    words = process.stdout.split()
    if len(words) >= 4 and words[2] == "differing":
        return "same" if words[3] == "0" else "%s px differ" % words[3]
    return "unchecked"


def median(values):
    return statistics.median(values)


def measure(tools, images, runs, folder, notes):
    results = []
    for depth, width, height, limit in images:
        name = "%dx%d %d-bit" % (width, height, depth)
        source = os.path.join(folder, "input-%d-%dx%d.bmp" % (depth, width, height))
        mask = os.path.join(folder, "mask-%dx%d.pbm" % (width, height))
        subprocess.run([os.path.join(BENCH, "bmpbench_generate"), str(depth), str(width), str(height), source],
                       check=True)
        if not os.path.exists(mask):
            subprocess.run([os.path.join(BENCH, "bmpbench_generate"), "mask", str(width), str(height), mask],
                           check=True)
        reference = os.path.join(folder, "reference.bmp")
        run(tools[2].command(source, mask, reference, depth))
        rows = {}
        for tool in tools:  # once untimed: checks the output and warms the cache
            target = os.path.join(folder, "check-" + tool.name + ".bmp")
            try:
                run(tool.command(source, mask, target, depth))
            except RuntimeError as error:
                print("  %s: %s" % (tool.name, error), file=sys.stderr)
                reason = (str(error).split(" failed: ", 1)[-1].strip().splitlines() or ["no message"])[0]
                notes.append("%s failed on %s, left out: %s" % (tool.name, name, reason[-160:]))
                continue
            kept = bit_count(target) == depth
            if tool.name == "cp":
                same = "input"
            elif tool.name == "baseline":
                same = "same bytes" if open(target, "rb").read() == open(reference, "rb").read() else "BYTES DIFFER"
            else:
                same = compare(reference, target)
            rows[tool.name] = {"tool": tool, "kept": kept, "depth": bit_count(target), "same": same,
                               "seconds": [], "memory": [], "user": [], "system": []}
            os.remove(target)
        for run_index in range(runs):
            order = list(rows.values())
            order = order[run_index % len(order):] + order[:run_index % len(order)]  # no tool always goes first
            for row in order:
                target = os.path.join(folder, "out-" + row["tool"].name + ".bmp")
                seconds, memory, user, system = run(row["tool"].command(source, mask, target, depth))
                row["seconds"].append(seconds)
                row["memory"].append(memory)
                row["user"].append(user)
                row["system"].append(system)
                os.remove(target)
        os.remove(reference)
        os.remove(source)
        results.append({"name": name, "depth": depth, "pixels": width * height, "limit": limit, "rows": rows})
        print_image(results[-1])
    return results


def print_image(result):
    print("\n%s" % result["name"])
    for name, row in result["rows"].items():
        print("  %-15s %7.3f s (user %.3f, system %.3f)  %7.1f MB  depth %s  %s" % (
            name, median(row["seconds"]), median(row["user"]), median(row["system"]), max(row["memory"]) / MB,
            row["depth"], row["same"]))
    sys.stdout.flush()


def verdicts(result):
    rows = result["rows"]
    frame = median(rows["bmpframe"]["seconds"])
    baseline = median(rows["baseline"]["seconds"])
    ratio = frame / baseline
    peers = [(median(r["seconds"]), name) for name, r in rows.items() if r["tool"].peer and r["kept"]]
    fastest = min(peers) if peers else None
    memory = max(rows["bmpframe"]["memory"])
    memory_limit = 4 * result["pixels"] + MEMORY_SLACK
    return {
        "ratio": ratio,
        "ratio_ok": ratio <= result["limit"],
        "fastest": fastest,
        "peer_factor": fastest[0] / frame if fastest else None,
        "peer_ok": fastest is None or fastest[0] / frame >= PEER_FACTOR,
        "memory": memory,
        "memory_ok": memory <= memory_limit,
    }


def batch(runs, folder, notes):
    if not os.access(CLI, os.X_OK):
        notes.append("bmpframe is not built: the -j 2 against -j 1 batch is not measured.")
        return None
    source = os.path.join(folder, "batch-input.bmp")
    subprocess.run([os.path.join(BENCH, "bmpbench_generate"), "24", "4000", "3000", source], check=True)
    inputs = []
    for i in range(BATCH_FILES):
        path = os.path.join(folder, "batch-%02d.bmp" % i)
        shutil.copyfile(source, path)
        inputs.append(path)
    os.remove(source)
    times = {1: [], 2: []}
    memory = {1: [], 2: []}
    for run_index in range(runs + 1):
        for jobs in ((1, 2) if run_index % 2 == 0 else (2, 1)):
            target = os.path.join(folder, "batch-out-%d" % jobs)
            os.makedirs(target, exist_ok=True)
            seconds, peak, _, _ = run([CLI, "-o", target, "-j", str(jobs)] + inputs)
            shutil.rmtree(target)
            if run_index > 0:  # the first round warms the cache
                times[jobs].append(seconds)
                memory[jobs].append(peak)
    for path in inputs:
        os.remove(path)
    one, two = median(times[1]), median(times[2])
    return {"one": one, "two": two, "ratio": two / one, "ok": two / one <= BATCH_LIMIT,
            "memory": max(memory[2])}


def markdown(results, batch_result, runs, notes):
    lines = []
    lines.append("Whole job (load, frame, save at the same depth), median of %d interleaved runs with a warm "
                 "cache; peak memory is the largest resident size of the process. `cp` copies the file; "
                 "`baseline` is bench/StreamingBaseline.cpp, which reads a row, blackens it outside the "
                 "circle and writes it; the general tools cut the same circle through a mask. User and system "
                 "are the process's processor times; system time includes the kernel handing over fresh, "
                 "zeroed memory, which is what a whole image in memory costs beyond the baseline." % runs)
    lines.append("")
    lines.append("| image | tool | time (s) | user (s) | system (s) | peak memory (MB) | depth written | colours |")
    lines.append("|---|---|---:|---:|---:|---:|---:|---|")
    for result in results:
        for name, row in result["rows"].items():
            lines.append("| %s | %s | %.3f | %.3f | %.3f | %.1f | %s | %s |" % (
                result["name"], name, median(row["seconds"]), median(row["user"]), median(row["system"]),
                max(row["memory"]) / MB, row["depth"], row["same"]))
    lines.append("")
    lines.append("| image | bmpframe / baseline (limit) | fastest tool keeping the depth | bmpframe faster by "
                 "(limit %.0fx) | bmpframe memory (limit) |" % PEER_FACTOR)
    lines.append("|---|---|---|---|---|")
    for result in results:
        v = verdicts(result)
        fastest = "%s, %.3f s" % (v["fastest"][1], v["fastest"][0]) if v["fastest"] else "no tool kept it"
        factor = "%.1fx %s" % (v["peer_factor"], "ok" if v["peer_ok"] else "MISSED") if v["fastest"] else "-"
        lines.append("| %s | %.2f (%.1f) %s | %s | %s | %.1f MB (%.0f MB) %s |" % (
            result["name"], v["ratio"], result["limit"], "ok" if v["ratio_ok"] else "MISSED", fastest, factor,
            v["memory"] / MB, (4 * result["pixels"] + MEMORY_SLACK) / MB, "ok" if v["memory_ok"] else "MISSED"))
    if batch_result:
        lines.append("")
        lines.append("Batch of %d files of 4000x3000 24-bit: `bmpframe -j 1` %.3f s, `-j 2` %.3f s: ratio %.2f "
                     "(limit %.2f) %s; peak memory with -j 2 %.1f MB." % (
                         BATCH_FILES, batch_result["one"], batch_result["two"], batch_result["ratio"], BATCH_LIMIT,
                         "ok" if batch_result["ok"] else "MISSED", batch_result["memory"] / MB))
    if notes:
        lines.append("")
        lines.extend("- " + note for note in notes)
    return "\n".join(lines) + "\n"


def chart(results, path, folder):
    names = []  # every tool that ran on some image, in the order they ran
    for result in results:
        names.extend(n for n in result["rows"] if n not in names)
    data = os.path.join(folder, "chart.dat")
    with open(data, "w") as file:
        file.write("image " + " ".join('"%s"' % n for n in names) + "\n")
        for result in results:
            values = ["%.4f" % median(result["rows"][n]["seconds"]) if n in result["rows"] else "NaN" for n in names]
            file.write('"%s" %s\n' % (result["name"], " ".join(values)))
    script = """
set terminal pngcairo size 1200,600 font ",10"
set output '%s'
set title 'Frame job, median seconds (log scale; lower is better)'
set style data histograms
set style histogram clustered gap 1
set style fill solid 0.85 border -1
set logscale y
set yrange [0.005:*]
set ylabel 'seconds'
set key outside right top
set xtics rotate by -20
set grid ytics
plot for [i=2:%d] '%s' using i:xtic(1) title columnheader(i)
""" % (path, len(names) + 1, data)
    subprocess.run(["gnuplot"], input=script, text=True, check=True)
    os.remove(data)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--runs", type=int, default=5, help="timed runs per tool and image (default 5)")
    parser.add_argument("--quick", action="store_true", help="images of a tenth of the side, for a trial run")
    parser.add_argument("--no-docs", action="store_true", help="print only; leave docs/ alone")
    parser.add_argument("--tmp", default=tempfile.gettempdir(), help="where the temporary folder goes")
    args = parser.parse_args()

    images = IMAGES
    if args.quick:
        images = [(d, w // 10, h // 10, limit) for d, w, h, limit in IMAGES]
    if not os.access(TIME, os.X_OK):
        raise SystemExit("%s is needed for peak memory (apt-get install time)" % TIME)
    notes = []
    tools = find_tools(notes)
    folder = tempfile.mkdtemp(prefix="velmora-bench-", dir=args.tmp)
    try:
        check_space(folder, images)
        results = measure(tools, images, args.runs, folder, notes)
        batch_result = None if args.quick else batch(args.runs, folder, notes)
        text = markdown(results, batch_result, args.runs, notes)
        print()
        print(text)
        if not args.no_docs:
            docs = os.path.join(ROOT, "docs")
            os.makedirs(docs, exist_ok=True)
            with open(os.path.join(docs, "benchmark.md"), "w") as file:
                file.write("# Benchmark\n\nMade by `bench/run.sh` on %s.\n\n" % time.strftime("%Y-%m-%d"))
                file.write(text)
                file.write("\n![Frame job times](benchmark.png)\n")
            if shutil.which("gnuplot"):
                chart(results, os.path.join(docs, "benchmark.png"), folder)
            else:
                print("gnuplot is not installed: no chart (apt-get install gnuplot-nox)", file=sys.stderr)
    finally:
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    main()
