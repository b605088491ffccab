#!/usr/bin/env python3
"""The golden tournaments' literals worked out again from the README's formulas alone, without the
code that made them: so that golden files made afresh after a change still say what the README
says. Each tournament in golden/<case>.txt names its inputs; its field is the fixture's (sample
i % 8 of the eight, with i // 8 more torso HP), the records as momiru-lab wrote them in
golden/double-fair.momiru-tournament.

usage: golden_follows_readme.py GOLDEN-FOLDER"""
import glob
import hashlib
import json
import os
import re
import sys


def sha(data):
    return hashlib.sha256(data).hexdigest()


def canonical(entry):
    keys = ("file", "name", "level", "picture", "parts", "moves")
    return json.dumps({k: entry[k] for k in keys}, ensure_ascii=False, separators=(",", ":"))


def canonical_beacon(beacon, kind):
    """The beacon's canonical form: for numbers the runs of decimal digits (full-width ones read
    as digits), each without leading zeros, joined by one space; for hex its hex digits in lower
    case, white space and one leading 0x dropped."""
    ascii_form = "".join(chr(ord(c) - 0xFEE0) if 0xFF10 <= ord(c) <= 0xFF5A else c for c in beacon)
    if kind == "hex":
        text = "".join(ascii_form.split())
        if text[:2] in ("0x", "0X"):
            text = text[2:]
        assert re.fullmatch(r"[0-9a-fA-F]+", text), "a hex beacon"
        return text.lower()
    runs = re.findall(r"[0-9]+", ascii_form)
    assert runs, "a numbers beacon"
    return " ".join(run.lstrip("0") or "0" for run in runs)


def check(case, lines, records):
    inputs = lines[0].split()
    rules = dict(zip(inputs[0::2], inputs[1::2]))
    n, best_of = int(rules["entries"]), int(rules["best_of"])
    secret = bytes.fromhex(lines[1].split()[1])
    beacon = lines[2][len("beacon "):] if lines[2].startswith("beacon ") else ""
    declaration = None
    if lines[3].startswith("declaration "):
        # The declared name and beacon are the case's; the rules must be the ones it was played by.
        declared = json.loads(lines.pop(3)[len("declaration "):])
        assert list(declared) == ["name", "rules", "beacon_kind", "beacon_source"], "declaration"
        assert declared["rules"] == {
            "format": rules["format"], "rounds": int(rules["rounds"]), "best_of": best_of,
            "halve": rules["halve"] == "1", "seeding": rules["seeding"],
            "third_place": rules["third_place"] == "1"}, "declared rules"
        declaration = json.dumps(declared, ensure_ascii=False, separators=(",", ":")).encode()
    value = {line.split()[0]: line.split()[1] for line in lines[4:7]}
    if declaration is None:
        assert value["commitment"] == sha(secret), "commitment"
    else:
        assert value["commitment"] == sha(secret + declaration), "commitment"
    hashes = []
    for i in range(n):
        record = json.loads(json.dumps(records[i % 8]))
        record["parts"][3]["hp"] += i // 8
        hashes.append(sha(canonical(record).encode()))
    digest = sha("".join(h + "\n" for h in sorted(hashes)).encode())
    assert value["entries_digest"] == digest, "entries digest"
    if declaration is None:
        seed = sha(secret + bytes.fromhex(digest) + beacon.encode())
    else:
        seed = sha(secret + bytes.fromhex(digest) + hashlib.sha256(declaration).digest() +
                   (canonical_beacon(beacon, declared["beacon_kind"]).encode() if beacon else b""))
    assert value["seed"] == seed, "tournament seed"
    seeds = [int(s[1:]) for s in lines[7].split()[1:]]
    if rules["seeding"] == "draw":
        assert seeds == sorted(range(n), key=lambda e: sha(f"{seed}:draw:{hashes[e]}".encode()))

    matches = []
    for line in lines[8:]:
        m = re.match(r"(\S+) (\S+) round \d+: (\S+) vs (\S+) \d+-\d+ winner (\S+)$", line)
        if m:
            players = [None if p == "bye" else int(p[1:]) for p in m.group(3, 4)]
            winner = None if m[5] == "drawn" else int(m[5][1:])
            matches.append({"id": m[1], "bracket": m[2], "players": players, "winner": winner,
                            "battles": []})
            continue
        m = re.match(r"  (\d+) seed (\d+) player1 #(\d+) winner (\S+) turns", line)
        if m:
            match, k = matches[-1], int(m[1])
            digest8 = hashlib.sha256(f"{seed}:{match['id']}:{k}".encode()).digest()[:8]
            assert int(m[2]) == int.from_bytes(digest8, "big"), f"{match['id']} battle {k} seed"
            # Odd battles: players[0] is player 2 and acts first.
            first, second = match["players"]
            assert int(m[3]) == (second if k % 2 else first), f"{match['id']} battle {k} sides"
            match["battles"].append(None if m[4] == "none" else int(m[4][1:]))

    league = rules["format"] in ("round-robin", "swiss")
    for match in matches:
        players, battles = match["players"], match["battles"]
        if None in players:
            assert not battles and match["winner"] in players, match["id"]
            continue
        # Decided as soon as a side has won more than half of best_of; a level match is drawn in
        # a league, and in elimination goes on for as many again, the first battle won deciding,
        # then the better seed.
        won, decided = {p: 0 for p in players}, None
        for k, winner in enumerate(battles):
            assert decided is None, f"{match['id']}: a battle after the match was decided"
            if winner is None:
                pass
            elif k < best_of:
                won[winner] += 1
                if 2 * won[winner] > best_of:
                    decided = winner
            else:
                decided = winner
            if decided is None and league and k == best_of - 1:
                decided = "drawn"
        if decided is None:
            assert len(battles) == 2 * best_of, match["id"]
            decided = min(players, key=seeds.index)
        assert (match["winner"] if match["winner"] is not None else "drawn") == decided, match["id"]

    if league:
        points, met, wins, difference = [0.0] * n, [[] for _ in range(n)], [0] * n, [0] * n
        for match in matches:
            a, b = match["players"]
            if b is None:
                points[a] += 1
                wins[a] += 1
                continue
            score = 1 if match["winner"] == a else 0 if match["winner"] == b else 0.5
            points[a] += score
            points[b] += 1 - score
            wins[a] += score == 1
            wins[b] += score == 0
            met[a].append((b, score))
            met[b].append((a, 1 - score))
            for winner in match["battles"]:
                if winner is not None:
                    difference[winner] += 1
                    difference[a if winner == b else b] -= 1
        rows, order = {}, []
        for line in (line for line in lines if line.startswith("rank ")):
            words = line.split()
            values = list(map(float, words[6::2]))
            rows[int(words[2][1:])] = (float(words[4]), dict(zip(words[5::2], values)))
            # Ranked by points, then each tie-break in the order written, the draw order last.
            order.append([float(words[4])] + values[:-1] + [-values[-1]])
        assert order == sorted(order, reverse=True), "the standings' order"
        # Head-to-head: the points scored among the entries level on everything before it.
        before = ("buchholz", "median_buchholz", "sonneborn_berger")
        level = {e: (p,) + (tuple(t[k] for k in before) if rules["format"] == "swiss" else ())
                 for e, (p, t) in rows.items()}
        for e, (_, tie) in rows.items():
            group = [o for o in rows if o != e and level[o] == level[e]]
            head_to_head = sum(s for o, s in met[e] if o in group)
            assert tie["head_to_head"] == head_to_head, f"#{e} head-to-head"
        for e, (_, tie) in rows.items():
            assert rows[e][0] == points[e], f"#{e} points"
            assert tie["sonneborn_berger"] == sum(points[o] * s for o, s in met[e]), f"#{e} SB"
            assert tie["match_wins"] == wins[e] and tie["battle_difference"] == difference[e]
            assert tie["draw_order"] == seeds.index(e) + 1, f"#{e} draw order"
            if rules["format"] == "swiss":
                opponents = sorted(points[o] for o, _ in met[e])
                assert tie["buchholz"] == sum(opponents), f"#{e} Buchholz"
                median = sum(opponents[1:-1]) if len(opponents) >= 3 else sum(opponents)
                assert tie["median_buchholz"] == median, f"#{e} Median-Buchholz"
    return sum(len(m["battles"]) for m in matches)


def main():
    folder = sys.argv[1]
    lab = json.load(open(os.path.join(folder, "double-fair.momiru-tournament"), encoding="utf-8"))
    for entry in lab["entries"]:
        assert entry["sha256"] == sha(canonical(entry).encode()), entry["file"]
    failed = 0
    for path in sorted(glob.glob(os.path.join(folder, "*.txt"))):
        case = os.path.basename(path)[:-4]
        lines = open(path, encoding="utf-8").read().splitlines()
        try:
            battles = check(case, lines, lab["entries"])
            print(f"{case}: agrees with the README ({battles} battle seeds)")
        except AssertionError as e:
            failed += 1
            print(f"{case}: differs from the README: {e}")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
