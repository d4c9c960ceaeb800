#!/usr/bin/env python3
"""Reads a CSV and a JSON export with Python's own parsers and prints, for
each segment of each, one line: source|run|segment|simulated|verdict|line.
A test compares the two halves with each other and with the results box."""
import csv, json, sys

csv_path, json_path = sys.argv[1], sys.argv[2]
with open(csv_path, newline="", encoding="utf-8") as f:
    for row in csv.DictReader(f, strict=True):
        if row["segment"]:
            print("|".join([row["run"], row["segment"], row["simulated"], row["verdict"], row["line"]]))
print("--")
with open(json_path, encoding="utf-8") as f:
    for run in json.load(f)["runs"]:
        for seg in run["segments"]:
            print("|".join([str(run["id"]), str(seg["segment"]), "yes" if run["simulated"] else "no",
                            seg["verdict"], seg["line"]]))
