#!/usr/bin/env python3
"""Makes examples/tavrin_label/: Genepop files whose fish carry their stock
labels, the starting point of the manual's tutorial. Six stocks of the
fictional Tavrin river in two regions, eight microsatellite loci, 40 baseline
fish per stock and a mixture of 120 fish of known origin.

Deterministic: running it again rewrites byte-identical files.
"""
import os
import random

rng = random.Random(20261211)
ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "examples", "tavrin_label")

LOCI = ["Tav101", "Tav104", "Tav112", "Tav119", "Tav123", "Tav131", "Tav138", "Tav142"]
ALLELES = [(100 + 2 * k) for k in range(12)]  # allele sizes, written as 3-digit codes
STOCKS = [(1, "KeshCreek"), (2, "ArloSlough"), (3, "FennRiver"),
          (4, "CanyonCreek"), (5, "OrielRiver"), (6, "LakeAmmet")]
TRUE_SHARES = [0.30, 0.05, 0.15, 0.25, 0.20, 0.05]


def frequencies():
    freqs = {}
    for sid, _ in STOCKS:
        freqs[sid] = []
        for _ in LOCI:
            weights = [rng.gammavariate(0.6, 1.0) for _ in ALLELES]
            total = sum(weights)
            freqs[sid].append([w / total for w in weights])
    return freqs


def genotype(freq_rows, missing_rate):
    codes = []
    for row in freq_rows:
        if rng.random() < missing_rate:
            codes.append("000000")
            continue
        a, b = sorted(rng.choices(ALLELES, weights=row, k=2))
        codes.append("%03d%03d" % (a, b))
    return " ".join(codes)


def write(path, lines):
    with open(path, "w", newline="") as out:
        out.write("\r\n".join(lines) + "\r\n")


def main():
    os.makedirs(ROOT, exist_ok=True)
    freqs = frequencies()
    base = ["Label Tavrin river baseline, microsatellites"] + LOCI
    for sid, name in STOCKS:
        base.append("POP %d" % sid)
        for i in range(1, 41):
            base.append("%s %02d , %s" % (name, i, genotype(freqs[sid], 0.02)))
    write(os.path.join(ROOT, "tavrin_label_baseline.gen"), base)

    mix = ["Label Tavrin26 test fishery, Tavrin river 2026"] + LOCI + ["POP 2026, V-0801, 2026-08-01, Lower river, Gillnet, Test fishery"]
    origins = rng.choices([s for s, _ in STOCKS], weights=TRUE_SHARES, k=120)
    for i, sid in enumerate(origins, 1):
        mix.append("TF26-%03d , %s" % (i, genotype(freqs[sid], 0.04)))
    write(os.path.join(ROOT, "tavrin_label_mixture.gen"), mix)

    counts = {sid: origins.count(sid) for sid, _ in STOCKS}
    truth = ["Fish of each stock in the mixture (120 fish):"]
    truth += ["%-12s %3d" % (name, counts[sid]) for sid, name in STOCKS]
    write(os.path.join(ROOT, "truth.txt"), truth)


if __name__ == "__main__":
    main()
