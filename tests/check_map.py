#!/usr/bin/env python3
"""Checks a debug map of ferrox-list against docs/map.schema.json and the
image it describes.

    check_map.py MAP SCHEMA [IMAGE]

Validates MAP with the JSON Schema validator (Debian package
python3-jsonschema), then checks that its spans lie in order inside the
image, without gaps or overlaps from the first assembled byte on, that they
cover every byte after it, and that every label and span names a listed
file. Exits 0 when all holds, 1 with the reasons when not, and 77 (skipped)
where the validator is not installed.
"""
import json
import sys

try:
    import jsonschema
except ImportError:
    print("SKIPPED: python3-jsonschema is not installed")
    sys.exit(77)


def main(map_path, schema_path, image_path=None):
    with open(map_path, encoding="utf-8") as f:
        document = json.load(f)
    with open(schema_path, encoding="utf-8") as f:
        schema = json.load(f)
    validator_class = jsonschema.validators.validator_for(schema)
    validator_class.check_schema(schema)
    problems = [e.message for e in validator_class(schema).iter_errors(document)]

    image = document["image"]
    files = len(document["files"])
    for item in document["labels"] + document["spans"]:
        if item["file"] >= files:
            problems.append(f"{item} names no listed file")
    if image_path is not None:
        with open(image_path, "rb") as f:
            data = f.read()
        if image["size"] != len(data):
            problems.append(f"image size {image['size']}, the file has {len(data)}")
        expected = image["start"]
        for span in document["spans"]:
            if span["position"] != expected:
                problems.append(f"span {span} does not start at {expected}")
            expected = span["position"] + span["size"]
            if span["kind"] != "reserve" and expected > len(data):
                problems.append(f"span {span} ends past the image")
        # A reserve at the very end writes nothing.
        if expected < len(data):
            problems.append(f"bytes from {expected} on belong to no span")
    for problem in problems:
        print("FAILED:", problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
