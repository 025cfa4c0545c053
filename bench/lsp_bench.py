#!/usr/bin/env python3
"""lsp_bench.py - How fast ferrox-lsp answers an edit with its diagnostics.

Generates the full-language program (bench/ferrox_bench_gen full LINES) in a
scratch folder, opens its main file in ferrox-lsp and makes EDITS edits one
after the other, each a didChange of one line that waits for the
publishDiagnostics of its version. Prints the latency from sending the
change to receiving the diagnostics (median, 90th percentile, slowest) and
the server's resident memory after the first edit and after the last, with
its peak.

    bench/lsp_bench.py [--build DIR] [--lines N] [--edits N] [--keep]

DIR is a build folder holding ferrox-lsp and bench/ferrox_bench_gen
(default: build/ in the repository).
"""

import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tools", "lsp", "test"))
from lsp_client import Client, uri  # noqa: E402


def memory_kb(pid, field):
    with open("/proc/%d/status" % pid) as status:
        for line in status:
            if line.startswith(field + ":"):
                return int(line.split()[1])
    return 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=os.path.join(HERE, "..", "build"))
    parser.add_argument("--lines", type=int, default=50000)
    parser.add_argument("--edits", type=int, default=1000)
    parser.add_argument("--keep", action="store_true", help="keep the scratch folder")
    options = parser.parse_args()
    build = os.path.abspath(options.build)
    server = os.path.join(build, "ferrox-lsp")
    generator = os.path.join(build, "bench", "ferrox_bench_gen")
    for program in (server, generator):
        if not os.access(program, os.X_OK):
            sys.exit("lsp_bench.py: %s is missing: build the targets ferrox-lsp and "
                     "ferrox_bench_gen first" % program)

    scratch = tempfile.mkdtemp(prefix="ferrox-lsp-bench-")
    try:
        subprocess.run([generator, "full", str(options.lines), os.path.join(scratch, "full")],
                       check=True)
        main_file = os.path.join(scratch, "full.tvs")
        with open(main_file) as source:
            text = source.read()
        lines = text.split("\n")
        # The edit: a number on a data line in the middle of the main file,
        # written anew each time (a value that stays valid).
        target = next(i for i in range(len(lines) // 2, len(lines))
                      if lines[i].startswith("flag:    data1u "))
        client = Client(server, cwd=scratch)
        client.initialize(scratch)
        document = uri(main_file)
        started = time.monotonic()
        client.notify("textDocument/didOpen", {"textDocument": {
            "uri": document, "languageId": "ferrox", "version": 0, "text": text}})
        first = client.diagnostics(document, timeout=120)
        opened = time.monotonic() - started
        latencies = []
        rss_first = 0
        for edit in range(1, options.edits + 1):
            line = "flag:    data1u %d" % (edit % 200)
            change = {"range": {"start": {"line": target, "character": 0},
                                "end": {"line": target, "character": len(lines[target])}},
                      "text": line}
            lines[target] = line
            started = time.monotonic()
            client.notify("textDocument/didChange", {
                "textDocument": {"uri": document, "version": edit}, "contentChanges": [change]})
            client.wait_for("textDocument/publishDiagnostics",
                            lambda params: params["uri"] == document and params.get("version") == edit,
                            timeout=60)
            latencies.append((time.monotonic() - started) * 1000)
            if edit == 1:
                rss_first = memory_kb(client.process.pid, "VmRSS")
            client.log.clear()
        rss_last = memory_kb(client.process.pid, "VmRSS")
        peak = memory_kb(client.process.pid, "VmHWM")
        client.close()
        latencies.sort()
        print("program: %d lines (full.tvs and the files it includes), %d diagnostics at open"
              % (options.lines, len(first)))
        print("open to first diagnostics: %.1f ms" % (opened * 1000))
        print("edits: %d, change to diagnostics: median %.1f ms, 90th percentile %.1f ms, "
              "slowest %.1f ms" % (len(latencies), statistics.median(latencies),
                                    latencies[int(len(latencies) * 0.9) - 1], latencies[-1]))
        print("resident memory: %.1f MB after the first edit, %.1f MB after the last, peak %.1f MB"
              % (rss_first / 1024, rss_last / 1024, peak / 1024))
    finally:
        if options.keep:
            print("scratch folder:", scratch)
        else:
            shutil.rmtree(scratch, ignore_errors=True)


if __name__ == "__main__":
    main()
