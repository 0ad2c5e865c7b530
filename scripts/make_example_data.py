#!/usr/bin/env python3
"""Makes the example data set under examples/: a fictional river system with
12 spawning stocks in 4 regions (2 areas), 10 microsatellite loci, and two
simulated fishery mixtures whose true compositions are written to truth.txt.

The same run comes in two forms:
  examples/tavrin/       text control file, SPAM-layout baseline, Genepop mixture
  examples/tavrin_spam/  SPAM control file, Talmo-layout baseline, digit mixture

Deterministic: running it again rewrites byte-identical files.
"""
import os
import random

SEED = 20261210
rng = random.Random(SEED)
ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "examples")

LOCI = [("Tav101", 18), ("Tav104", 14), ("Tav112", 22), ("Tav119", 11), ("Tav123", 16),
        ("Tav131", 20), ("Tav138", 13), ("Tav142", 24), ("Tav150", 10), ("Tav157", 17)]
AREAS = [(1, "Lower river"), (2, "Upper river")]
REGIONS = [(1, "Coastal tributaries", 1), (2, "Mainstem", 1),
           (3, "Upper canyon", 2), (4, "Headwater lakes", 2)]
STOCKS = [  # id, name (one word), region
    (101, "Kesh_Creek", 1), (102, "Arlo_Slough", 1), (103, "Bitter_Creek", 1),
    (204, "Mainstem_Lower", 2), (205, "Mainstem_Middle", 2), (206, "Fenn_River", 2),
    (307, "Canyon_Creek", 3), (308, "Oriel_River", 3), (309, "Stave_Creek", 3),
    (410, "Lake_Ammet", 4), (411, "Lake_Sorrow", 4), (412, "Tarn_Inlet", 4)]
BASELINE_FISH = [150, 120, 90, 200, 160, 110, 140, 100, 80, 130, 95, 70]
# True compositions of the two mixtures (by stock, in stock order).
TRUTH = [
    [0.22, 0.10, 0.03, 0.25, 0.12, 0.05, 0.08, 0.04, 0.00, 0.06, 0.05, 0.00],
    [0.02, 0.00, 0.05, 0.10, 0.08, 0.15, 0.18, 0.12, 0.05, 0.15, 0.00, 0.10]]
MIX_FISH = [150, 160]
UNSEEN_LOCUS = 4  # Tav123: its last allele is never seen in the baseline


def dirichlet(alphas):
    draws = [rng.gammavariate(a, 1.0) for a in alphas]
    total = sum(draws)
    return [d / total for d in draws]


def categorical(p):
    u = rng.random()
    acc = 0.0
    for i, w in enumerate(p):
        acc += w
        if u < acc:
            return i
    return len(p) - 1


# True allele frequencies: a species-wide mean, a regional mean, then stocks.
freqs = []  # [stock][locus][allele]
species = [dirichlet([2.0] * n) for _, n in LOCI]
regional = {}
for rid, _, _ in REGIONS:
    regional[rid] = [dirichlet([4.0 * q + 0.02 for q in species[l]]) for l in range(len(LOCI))]
for sid, _, rid in STOCKS:
    stock = []
    for l, (_, n) in enumerate(LOCI):
        p = dirichlet([25.0 * q + 0.01 for q in regional[rid][l]])
        if l == UNSEEN_LOCUS:
            p[-1] = 0.0
            s = sum(p)
            p = [x / s for x in p]
        stock.append(p)
    freqs.append(stock)


def genotype(stock_index, locus):
    p = freqs[stock_index][locus]
    return sorted([categorical(p) + 1, categorical(p) + 1])


# Baseline counts from samples of each stock.
counts = []
for s, nfish in enumerate(BASELINE_FISH):
    per_locus = []
    for l, (_, n) in enumerate(LOCI):
        c = [0] * n
        for _ in range(nfish):
            for a in genotype(s, l):
                c[a - 1] += 1
        per_locus.append(c)
    counts.append(per_locus)


def write(path, lines):
    with open(path, "wb") as f:
        f.write(("\r\n".join(lines) + "\r\n").encode("ascii"))


def control_keywords(title, baseline, mixture):
    return ["MIXORA", "",
            "Title = " + title, "",
            "BaselineFile = " + baseline,
            "MixtureFile = " + mixture,
            "OutputFolder = output",
            "Species = Chinook salmon",
            "BaseDesc = Tavrin River spawning stocks, 2019-2024 collections",
            "PrintBaseline = F",
            "PrintMixture = F",
            "DropFish = F",
            "ChangeSeeds = T",
            "InformativePrior = F",
            "NumberOfStocks = %d" % len(STOCKS),
            "NumberOfChars = %d" % len(LOCI),
            "Levels = 2",
            "NumberOfChains = 4",
            "NumberOfReps = 6000",
            "Seed1 = 48271",
            "Seed2 = 1299709",
            "StartStock = 204",
            "RanGen = MT19937",
            "MaxMissingLoci = 5",
            "Timer = 1000",
            "SaveEvery = 200",
            "NumberToKeep = 3000",
            "ThinIse = 1",
            "ThinSta = 5",
            "Accuracy = 0.02",
            "Quantile = 0.975",
            "Probability = 0.95",
            "Percentile = 0.975"]


def blocks_text():
    lines = ["", "Chars ="]
    for i, (name, n) in enumerate(LOCI):
        lines.append("%03d %02d T %s" % (i + 1, n, name))
    lines += ["", "Stocks ="]
    for sid, name, rid in STOCKS:
        area = [a for r, _, a in REGIONS if r == rid][0]
        lines.append("%03d %02d %02d  %s" % (sid, rid, area, name))
    lines += ["", "Groups ="]
    for rid, name, _ in REGIONS:
        lines.append("%3d %3d  %s" % (1, rid, name))
    for aid, name in AREAS:
        lines.append("%3d %3d  %s" % (2, aid, name))
    return lines


# Mixture fish, with missing loci, one fish with too many, one unseen allele.
mixtures = []
for m, (truth, nfish) in enumerate(zip(TRUTH, MIX_FISH)):
    fish = []
    for i in range(nfish):
        s = categorical(truth)
        g = []
        for l in range(len(LOCI)):
            g.append([0, 0] if rng.random() < 0.03 else genotype(s, l))
        fish.append((s, g))
    mixtures.append(fish)
# Fish 17 of the first mixture lost most of its loci (left out of the run).
for l in range(7):
    mixtures[0][17][1][l] = [0, 0]
# Fish 42 of the second mixture carries an allele no baseline stock shows.
mixtures[1][42][1][UNSEEN_LOCUS][1] = LOCI[UNSEEN_LOCUS][1]

POP_LINES = ["POP 2025, V-0714, 2025-07-14, Lower river, Gillnet, Early run test fishery",
             "POP 2025, V-0822, 2025-08-22, Canyon mouth, Beach seine, Late run test fishery"]


def write_text_form():
    folder = os.path.join(ROOT, "tavrin")
    os.makedirs(folder, exist_ok=True)
    write(os.path.join(folder, "tavrin.tcf"),
          control_keywords("Tavrin River 2025 test fisheries", "tavrin_baseline.bse",
                           "tavrin_mixture.gen") + blocks_text())
    lines = []
    for s, (sid, name, _) in enumerate(STOCKS):
        lines.append("# %d %s" % (sid, name))
        for l, (lname, _) in enumerate(LOCI):
            lines.append(lname + " " + " ".join(str(c) for c in counts[s][l]))
    write(os.path.join(folder, "tavrin_baseline.bse"), lines)
    lines = ["Tavrin25 test fishery mixtures, Chinook salmon",
             ", ".join(name for name, _ in LOCI)]
    for m, fish in enumerate(mixtures):
        lines.append(POP_LINES[m])
        for i, (_, g) in enumerate(fish):
            codes = " ".join("%03d%03d" % (a, b) for a, b in g)
            lines.append("TF25-%d-%03d , %s" % (m + 1, i + 1, codes))
    write(os.path.join(folder, "tavrin_mixture.gen"), lines)
    truth = ["True compositions of the simulated mixtures (mixture, stock or region, proportion)"]
    for m, t in enumerate(TRUTH):
        for (sid, name, _), p in zip(STOCKS, t):
            truth.append("POP_%02d stock %3d %-16s %.2f" % (m + 1, sid, name, p))
        for rid, rname, _ in REGIONS:
            p = sum(t[s] for s, st in enumerate(STOCKS) if st[2] == rid)
            truth.append("POP_%02d region %d %-20s %.2f" % (m + 1, rid, rname, p))
    write(os.path.join(folder, "truth.txt"), truth)


def write_spam_form():
    folder = os.path.join(ROOT, "tavrin_spam")
    os.makedirs(folder, exist_ok=True)
    lines = ["* Tavrin River 2025 test fisheries (first mixture), SPAM control file",
             "print mixture: F",
             "print baseline: F",
             "number of stocks: %d" % len(STOCKS),
             "number of characters: %d" % len(LOCI),
             "maximum # of iterations: 6000",
             "random seed (any integer): 48271",
             "second random seed: 1299709",
             "maximum number of missing loci: 5",
             "Baseline: tavrin_baseline.tal",
             "Mixture: tavrin_mixture.mix",
             "* characters used",
             " ID alleles kind name"]
    for i, (name, n) in enumerate(LOCI):
        lines.append("%d %d locus %s" % (i + 1, n, name))
    lines += ["* populations used", " ID name : region area"]
    for sid, name, rid in STOCKS:
        area = [a for r, _, a in REGIONS if r == rid][0]
        lines.append("%d %s : %d %d" % (sid, name.replace("_", " "), rid, area))
    lines += ["* regions", " level id name"]
    for rid, name, _ in REGIONS:
        lines.append("1 %d %s" % (rid, name))
    for aid, name in AREAS:
        lines.append("2 %d %s" % (aid, name))
    lines.append("* end")
    write(os.path.join(folder, "tavrin_spam.ctl"), lines)
    lines = []
    for s, (sid, _, _) in enumerate(STOCKS):
        for l, _ in enumerate(LOCI):
            c = counts[s][l]
            lines.append("%d %d %d %s" % (sid, l + 1, sum(c), " ".join(str(x) for x in c)))
    write(os.path.join(folder, "tavrin_baseline.tal"), lines)
    lines = []
    for i, (_, g) in enumerate(mixtures[0]):
        fields = []
        for l, (_, n) in enumerate(LOCI):
            digits = [0] * n
            for a in g[l]:
                if a:
                    digits[a - 1] += 1
            fields.append("".join(str(d) for d in digits))
        # Digit mixtures are told from Genepop files by having no letter at
        # all, so the fish IDs here are numbers.
        lines.append(" ".join(fields) + " %d" % (5001 + i))
    write(os.path.join(folder, "tavrin_mixture.mix"), lines)


write_text_form()
write_spam_form()
