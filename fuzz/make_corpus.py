#!/usr/bin/env python3
"""Writes the fuzzer's seed corpus to fuzz/corpus from the tests' inputs.

Seeds: every tests/runs/*.txt, and the input of every case in the tables of
tests/job_list_test.cpp (JobsCases) and tests/run_test.cpp (FailureCases), each behind the
control byte 0 (no injected failure); the inputs of tests/runs also once with each kind of
injected failure. A fuzz input is a control byte and then ordplan.txt (fuzz/run_properties.h).
"""
import pathlib
import re

root = pathlib.Path(__file__).resolve().parent.parent
corpus = root / "fuzz" / "corpus"

LITERAL = r'"(?:[^"\\]|\\.)*"'
ESCAPES = {"n": "\n", "r": "\r", "t": "\t", "\\": "\\", '"': '"', "'": "'", "0": "\0"}


def unescape(literal: str) -> bytes:
    out = bytearray()
    body = literal[1:-1]
    i = 0
    while i < len(body):
        c = body[i]
        if c != "\\":
            out += c.encode()
            i += 1
        elif body[i + 1] == "x":
            digits = re.match(r"[0-9A-Fa-f]+", body[i + 2 :]).group(0)
            out.append(int(digits, 16))
            i += 2 + len(digits)
        else:
            out += ESCAPES[body[i + 1]].encode()
            i += 2
    return bytes(out)


def table_inputs(source: pathlib.Path, table: str):
    """(name, input) of each case {"name", "input" "more input", ...} in the named table."""
    text = source.read_text()
    start = text.index(table)
    end = re.compile(r"\n\s*\};").search(text, start).start()
    pattern = re.compile(r"\{\s*(" + LITERAL + r")\s*,\s*((?:" + LITERAL + r"\s*)+),")
    for match in pattern.finditer(text, start, end):
        name = unescape(match.group(1)).decode()
        data = b"".join(unescape(m) for m in re.findall(LITERAL, match.group(2)))
        yield name, data


def slug(text: str) -> str:
    return re.sub(r"[^a-z0-9]+", "_", text.lower()).strip("_")


def main():
    corpus.mkdir(exist_ok=True)
    for old in corpus.iterdir():
        old.unlink()
    seeds = {}
    for path in sorted((root / "tests" / "runs").glob("*.txt")):
        data = path.read_bytes()
        seeds["runs_" + path.stem] = b"\x00" + data
        seeds["runs_" + path.stem + "_write_fails_after_200"] = b"\x01\xc8\x00\x00" + data
        seeds["runs_" + path.stem + "_write_fails_at_once"] = b"\x03\x00\x00\x00" + data
        seeds["runs_" + path.stem + "_report_not_created"] = b"\x18" + data
        seeds["runs_" + path.stem + "_input_not_opened"] = b"\x28" + data
        seeds["runs_" + path.stem + "_no_input"] = b"\x38" + data
    for source, table in (("job_list_test.cpp", "JobsCases[]"), ("run_test.cpp", "cases[]")):
        for name, data in table_inputs(root / "tests" / source, table):
            seeds[source.split("_test")[0] + "_" + slug(name)] = b"\x00" + data
    for name, data in sorted(seeds.items()):
        (corpus / name).write_bytes(data)
    print(f"{len(seeds)} seeds in {corpus}")


if __name__ == "__main__":
    main()
