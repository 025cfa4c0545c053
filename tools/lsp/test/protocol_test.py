#!/usr/bin/env python3
"""protocol_test.py - Drives ferrox-lsp over a pipe with scripted messages.

    protocol_test.py FERROX_LSP DATA_DIR

Installs the server with its own instruction set in a scratch folder, opens
a program with an include file, and checks every feature's answer: the
diagnostics (errors in an included file, the warnings, the instruction
file), an edit, hovers, definitions, references, rename, completion,
symbols, folding, semantic tokens, how the main file is chosen, and the
answers to malformed messages.
"""

import json
import os
import shutil
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from lsp_client import Client, uri  # noqa: E402

INSTRUCTIONS = """[/ Test instruction set /]
nop   0 0;
halt  0 1;
[/ Jumps to an address. /]
jmp   3 7 [x];
load  1 20 [x 4i];
JMP   0 9 [x];
"""

MAIN = """include "lib.tvh"
define COUNT 5
start:  data1u 300
        data1u COUNT-1
namespace io
port:   data1u 2
unused: data1u 3
        data4i &port
end
        data4i &io.port, &start, &lib.entry
        jmp start
ifdef COUNT
        nop
else
        halt
endif
        load ^io.port, COUNT
define GREETING "\U0001F600", COUNT
"""

LIB = """namespace lib
entry:  data1u 1
        bogus 1
end
"""

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
    return condition


def at(line, character):
    return {"line": line, "character": character}


def main():
    server, data = sys.argv[1], sys.argv[2]
    scratch = tempfile.mkdtemp(prefix="ferrox-lsp-test-")
    try:
        run(server, data, scratch)
    finally:
        shutil.rmtree(scratch, ignore_errors=True)
    if failures:
        print("FAILED:\n  " + "\n  ".join(failures))
        return 1
    print("PASSED: every feature answered as expected")
    return 0


def run(server, data, scratch):
    install = os.path.join(scratch, "bin")
    work = os.path.join(scratch, "work")
    os.makedirs(install)
    os.makedirs(work)
    shutil.copy(server, install)
    for name in ("std.tvh", "Directories.okl"):
        shutil.copy(os.path.join(data, name), install)
    files = {os.path.join(install, "Instructions.okl"): INSTRUCTIONS,
             os.path.join(work, "main.tvs"): MAIN, os.path.join(work, "lib.tvh"): LIB,
             os.path.join(work, "ws.tvs"): 'define WS 1\ninclude "wslib.tvh"\n',
             os.path.join(work, "wslib.tvh"): "data1u WS\n"}
    for path, text in files.items():
        with open(path, "w") as out:
            out.write(text)
    main_uri = uri(os.path.join(work, "main.tvs"))
    lib_uri = uri(os.path.join(work, "lib.tvh"))
    okl_uri = uri(os.path.join(install, "Instructions.okl"))

    client = Client(os.path.join(install, "ferrox-lsp"), cwd=work)
    try:
        features(client, work, main_uri, lib_uri, okl_uri)
        protocol_errors(client, main_uri)
        check(client.close() == 0, "exit status after shutdown and exit")
    finally:
        if client.process.poll() is None:
            client.process.kill()
    client = Client(os.path.join(install, "ferrox-lsp"), cwd=work)
    answer = client.request("textDocument/hover", {})
    check(answer.get("error", {}).get("code") == -32002, "a request before initialize")
    client.notify("exit")
    check(client.process.wait(timeout=10) == 1, "exit status without shutdown")


def features(client, work, main_uri, lib_uri, okl_uri):
    capabilities = client.initialize(work, capabilities={
        "textDocument": {"rename": {"prepareSupport": True}},
        "workspace": {"didChangeWatchedFiles": {"dynamicRegistration": True}}})["capabilities"]
    registration = client.wait_for("client/registerCapability")["registrations"][0]
    check(registration["method"] == "workspace/didChangeWatchedFiles",
          "the server asks the client to watch the sources: %s" % registration)
    check(capabilities["textDocumentSync"]["change"] == 2, "incremental sync")
    check(capabilities["renameProvider"] == {"prepareProvider": True}, "prepareRename offered")
    legend = capabilities["semanticTokensProvider"]["legend"]["tokenTypes"]

    client.notify("textDocument/didOpen", {"textDocument": {
        "uri": main_uri, "languageId": "ferrox", "version": 1, "text": MAIN}})
    found = {(d["range"]["start"]["line"], d["range"]["start"]["character"], d.get("code"))
             for d in client.diagnostics(main_uri)}
    check(found == {(2, 15, "truncated"), (3, 15, "two-values"), (3, 20, "truncated"),
                    (6, 0, "unused-label")}, "diagnostics of main.tvs: %s" % sorted(found))
    lib = client.diagnostics(lib_uri)
    check([(d["range"]["start"]["line"], d["code"]) for d in lib] == [(2, "900")],
          "the error in the included file: %s" % lib)
    okl = client.diagnostics(okl_uri)
    check([(d["range"]["start"]["line"], d["code"]) for d in okl] == [(6, "instruction-set")],
          "the duplicate instruction: %s" % okl)

    # An edit: line 12 "nop" becomes an unknown word.
    client.notify("textDocument/didChange", {
        "textDocument": {"uri": main_uri, "version": 2},
        "contentChanges": [{"range": {"start": at(12, 8), "end": at(12, 11)}, "text": "nope"}]})
    params = client.wait_for("textDocument/publishDiagnostics",
                             lambda p: p["uri"] == main_uri and p.get("version") == 2)
    check(any(d["code"] == "900" and d["range"]["start"] == at(12, 8) and
              d["range"]["end"] == at(12, 12) for d in params["diagnostics"]),
          "the error the edit made: %s" % params["diagnostics"])
    client.notify("textDocument/didChange", {
        "textDocument": {"uri": main_uri, "version": 3},
        "contentChanges": [{"range": {"start": at(12, 8), "end": at(12, 12)}, "text": "nop"}]})
    client.wait_for("textDocument/publishDiagnostics",
                    lambda p: p["uri"] == main_uri and p.get("version") == 3)

    def ask(method, line, character, **extra):
        params = {"textDocument": {"uri": main_uri}, "position": at(line, character)}
        params.update(extra)
        return client.request(method, params)["result"]

    def hover(line, character):
        result = ask("textDocument/hover", line, character)
        return result["contents"]["value"] if result else ""

    text = hover(10, 9)
    check("top bits 3" in text and "operation code 7" in text and "`x`" in text and
          "line 5" in text and "Jumps to an address." in text, "hover on jmp: %r" % text)
    text = hover(9, 20)
    check("**io.port**" in text and "address 4 (0x4)" in text and "image position 24" in text,
          "hover on io.port: %r" % text)
    check("define COUNT 5" in hover(16, 24), "hover on a macro")
    text = hover(2, 16)
    check("| 1u (here) | 44 | `2c` |" in text and "| 2i | 300 | `2c 01` |" in text,
          "hover on 300: %r" % text)
    # After the 4-byte emoji (two UTF-16 units) COUNT starts at 22.
    result = ask("textDocument/hover", 17, 23)
    check(result and result["range"]["start"] == at(17, 22), "UTF-16 columns: %s" % result)

    def target(result):
        result = result[0] if isinstance(result, list) else result
        return (os.path.basename(result["uri"]), result["range"]["start"]["line"],
                result["range"]["start"]["character"]) if result else None

    check(target(ask("textDocument/definition", 7, 17)) == ("main.tvs", 5, 0), "definition of port")
    check(target(ask("textDocument/definition", 9, 20)) == ("main.tvs", 5, 0), "definition of io.port")
    check(target(ask("textDocument/definition", 9, 17)) == ("main.tvs", 4, 10), "definition of io")
    check(target(ask("textDocument/definition", 9, 38)) == ("lib.tvh", 1, 0), "definition of lib.entry")
    check(target(ask("textDocument/definition", 16, 24)) == ("main.tvs", 1, 7), "definition of COUNT")
    check(target(ask("textDocument/definition", 0, 11)) == ("lib.tvh", 0, 0), "definition of an include")
    check(target(ask("textDocument/definition", 10, 9)) == ("Instructions.okl", 4, 0),
          "definition of an instruction")

    references = ask("textDocument/references", 5, 1, context={"includeDeclaration": True})
    check(sorted((r["range"]["start"]["line"], r["range"]["start"]["character"]) for r in references)
          == [(5, 0), (7, 16), (9, 19), (16, 17)], "references of io.port: %s" % references)
    macro = ask("textDocument/references", 1, 8, context={"includeDeclaration": False})
    check(sorted(r["range"]["start"]["line"] for r in macro) == [3, 11, 16, 17],
          "references of COUNT: %s" % macro)
    check(ask("textDocument/prepareRename", 5, 1)["placeholder"] == "port", "prepareRename")
    edit = ask("textDocument/rename", 5, 1, newName="gate")["changes"][main_uri]
    check(len(edit) == 4 and all(e["newText"] == "gate" for e in edit), "rename: %s" % edit)
    refused = client.request("textDocument/rename", {
        "textDocument": {"uri": main_uri}, "position": at(5, 1), "newName": "unused"})
    check("error" in refused, "rename onto an existing label is refused")

    def labels(line, character):
        return {item["label"] for item in ask("textDocument/completion", line, character)["items"]}

    first = labels(12, 8)
    check({"data1u", "arrayns", "ifdef", "namespace", "jmp", "load", "COUNT"} <= first,
          "completion of a first word: %s" % sorted(first))
    inside = labels(7, 16)
    check({"port", "unused", "start", "lib.entry", "COUNT"} <= inside and "io.port" not in inside,
          "completion inside io: %s" % sorted(inside))
    outside = labels(9, 17)
    check({"io.port", "io", "lib"} <= outside and "port" not in outside,
          "completion outside io: %s" % sorted(outside))

    symbols = client.request("textDocument/documentSymbol", {"textDocument": {"uri": main_uri}})["result"]
    outline = [(s["name"], [c["name"] for c in s.get("children", [])]) for s in symbols]
    check(outline == [("start", []), ("io", ["port", "unused"])], "outline: %s" % outline)
    found = client.request("workspace/symbol", {"query": "entry"})["result"]
    check([(s["name"], os.path.basename(s["location"]["uri"])) for s in found] ==
          [("lib.entry", "lib.tvh")], "workspace symbols: %s" % found)
    folds = client.request("textDocument/foldingRange", {"textDocument": {"uri": main_uri}})["result"]
    check(sorted((f["startLine"], f["endLine"]) for f in folds) == [(4, 7), (11, 12), (13, 14)],
          "folding ranges: %s" % folds)

    data = client.request("textDocument/semanticTokens/full",
                          {"textDocument": {"uri": main_uri}})["result"]["data"]
    tokens, line, start = {}, 0, 0
    for i in range(0, len(data), 5):
        line += data[i]
        start = data[i + 1] if data[i] else start + data[i + 1]
        tokens[(line, start)] = legend[data[i + 3]]
    expected = {(0, 0): "directive", (0, 8): "string", (1, 7): "macro", (2, 0): "label",
                (2, 8): "keyword", (2, 15): "number", (4, 10): "namespace", (10, 8): "function",
                (10, 12): "label", (11, 6): "macro", (9, 16): "namespace"}
    check(all(tokens.get(k) == v for k, v in expected.items()),
          "semantic tokens: %s" % {k: tokens.get(k) for k in expected})

    # An included file no editor has open, changed on disk with no
    # notification: the next request checks the program again, and the
    # tokens are those of the new text.
    def lib_tokens():
        return client.request("textDocument/semanticTokens/full",
                              {"textDocument": {"uri": lib_uri}}).get("result", {}).get("data")

    check(lib_tokens(), "tokens of lib.tvh")
    lib_path = os.path.join(work, "lib.tvh")
    with open(lib_path, "w") as out:
        out.write("nop\n")
    check(lib_tokens() == [0, 0, 3, legend.index("function"), 0],
          "tokens of lib.tvh after it changed on disk")
    check(client.diagnostics(lib_uri) == [], "lib.tvh checked again after it changed on disk")
    with open(lib_path, "w") as out:
        out.write(LIB)

    # The included file, opened, is checked as part of main.tvs.
    client.notify("textDocument/didOpen", {"textDocument": {
        "uri": lib_uri, "languageId": "ferrox", "version": 1, "text": LIB}})
    lib = client.diagnostics(lib_uri)
    check([d["code"] for d in lib] == ["900"], "lib.tvh as part of main.tvs: %s" % lib)
    # A file only a workspace program includes is checked as part of it:
    # alone, WS would be no macro.
    wslib_uri = uri(os.path.join(work, "wslib.tvh"))
    client.notify("textDocument/didOpen", {"textDocument": {
        "uri": wslib_uri, "languageId": "ferrox", "version": 1, "text": "data1u WS\n"}})
    check(client.diagnostics(wslib_uri) == [], "wslib.tvh as part of ws.tvs")
    # The configured main file does not include lib.tvh: the workspace
    # program main.tvs, closed now, still does.
    client.notify("workspace/didChangeConfiguration",
                  {"settings": {"ferrox": {"mainFile": "ws.tvs"}}})
    client.notify("textDocument/didClose", {"textDocument": {"uri": main_uri}})
    lib = client.diagnostics(lib_uri)
    check([d["code"] for d in lib] == ["900"], "lib.tvh through the workspace program main.tvs: %s" % lib)
    # A broken instruction file stands in for the installed one.
    client.notify("textDocument/didOpen", {"textDocument": {
        "uri": okl_uri, "languageId": "okl", "version": 1, "text": "nop 0\n"}})
    okl = client.wait_for("textDocument/publishDiagnostics",
                          lambda p: p["uri"] == okl_uri and p.get("version") == 1)["diagnostics"]
    check([d["code"] for d in okl] == ["300"], "error 300 on Instructions.okl: %s" % okl)
    client.notify("textDocument/didClose", {"textDocument": {"uri": okl_uri}})
    client.notify("textDocument/didOpen", {"textDocument": {
        "uri": main_uri, "languageId": "ferrox", "version": 5, "text": MAIN}})
    client.diagnostics(main_uri)

    # A burst of edits: the last version is the one checked last.
    for version in range(10, 40):
        client.notify("textDocument/didChange", {
            "textDocument": {"uri": main_uri, "version": version},
            "contentChanges": [{"text": MAIN + "        nop\n" * version}]})
    client.wait_for("textDocument/publishDiagnostics",
                    lambda p: p["uri"] == main_uri and p.get("version") == 39)


def protocol_errors(client, main_uri):
    def raw(data):
        client.send_raw(data)
        return client.read_message(10)

    def framed(body):
        return raw(b"Content-Length: %d\r\n\r\n" % len(body) + body)

    check(framed(b"{not json")["error"]["code"] == -32700, "malformed JSON")
    check(framed(b"[1, 2]")["error"]["code"] == -32600, "JSON that is no request")
    check(framed(b'{"jsonrpc": "2.0", "id": 7, "method": 3}')["error"]["code"] == -32600,
          "a method that is no string")
    check(framed(b"[" * 100000 + b"]" * 100000)["error"]["code"] == -32700, "deep nesting")
    check(raw(b"Content-Type: x\r\n\r\n")["error"]["code"] == -32700, "a header without a length")
    # The body of an oversized message is answered at once and skipped as
    # it arrives, never held.
    size = (64 << 20) + 1
    answer = raw(b"Content-Length: %d\r\n\r\n" % size + b"x" * 1000)
    check(answer["error"]["code"] == -32600, "an oversized message")
    client.send_raw(b"y" * (size - 1000))
    unknown = client.request("textDocument/unknownThing", {})
    check(unknown["error"]["code"] == -32601, "an unknown method")
    bad = client.request("textDocument/hover", {"textDocument": {"uri": main_uri}})
    check(bad["error"]["code"] == -32602, "a request without its position")


if __name__ == "__main__":
    sys.exit(main())
