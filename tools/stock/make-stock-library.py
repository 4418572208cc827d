#!/usr/bin/env python3
"""Regenerates the stock block library from the motion capture BVH files.

    tools/stock/make-stock-library.py [--kba PATH/trelvo-kba] [--out DIR] [--dry-run]

Every block goes through `trelvo-kba import-bvh` (the standard figure, its
keys and the block sampling, as a user's import does) and is named after its
BVH file with an "s_" prefix:

  content/mocap/bvh/*.bvh            -> content/kinBlocks/Trelvo/s_<name>.kba
  content/mocap/bvh/cmu_names/*.bvh  -> content/kinBlocks/Trelvo/dance/s_<name>.kba

Walks, runs and the jog are cut to a whole number of strides so that they
loop: the cut frames i < j are the pair, among all pairs of source frames
with j - i a multiple of 4 (a whole number of 30 fps block frames) and at
least MIN_CYCLE_SECONDS apart, whose legs are in the same phase. The phase
distance of two frames is, in degrees squared:
  - per leg joint (thigh = the file's buttock and thigh joints together, as
    the figure's thigh spans them; shin; foot; both sides) the squared angle
    between the two frames' local rotations, summed, plus the worst joint's
    once more (one joint far off shows at the seam);
  - the squared differences of the hip's pitch and roll channels;
  - the hip height difference, in figure centimetres (via the take's median
    hip height standing for the figure's 99.24 cm), times HEIGHT_WEIGHT,
    squared;
  - half the summed squared differences of how far each leg joint turns over
    +-4 frames, so that a leg swinging forward is not matched with the same
    leg swinging back.
Both ends must lie where the subject moves at speed (horizontal hip speed
over +-15 frames at least 60 % of the take's median), which keeps a
standstill at the start from matching one at the end. Half a stride puts the
other leg forward and scores badly, so the best pairs are whole strides.
Among the pairs within TOLERANCE of the best distance the longest is taken
(more strides, more natural variation), then the earliest. The result is
deterministic: the same files give the same cuts. The seam is then closed
by the block's internal blend.
The other takes, and the walk over uneven ground (its steps do not repeat:
its best cut leaves a leg joint 14.7 degrees off), are kept whole; all are
under 20 s.
"""

import argparse
import math
import os
import pathlib
import subprocess
import sys

ROOT = pathlib.Path(__file__).resolve().parents[2]
MOCAP = ROOT / "content" / "mocap" / "bvh"
SOURCE_FPS = 120
STEP = 4  # source frames per 30 fps block frame
MIN_CYCLE_SECONDS = 0.6
LEG_JOINTS = ["lButtock", "lThigh", "lShin", "lFoot", "rButtock", "rThigh", "rShin", "rFoot"]
CYCLE_PREFIXES = ("walk_", "run_", "jog_")
# Steps over uneven ground do not repeat: no cut of this take brings the legs
# within 14 degrees of each other, so it stays a whole, one-shot take.
NOT_CYCLES = ("walk_uneven_01",)
HEIGHT_WEIGHT = 3.0  # degrees of leg rotation one centimetre of hip height weighs
TOLERANCE = 1.1      # how much worse than the best match a longer cycle may be


class Take:
    """The channels and motion of one BVH file (just what the cut needs)."""

    def __init__(self, path):
        self.channels = {}  # joint -> {channel name: column}
        self.frames = []
        self.frame_time = 1.0 / SOURCE_FPS
        column = 0
        joint = None
        in_motion = False
        for line in path.read_text().splitlines():
            words = line.split()
            if not words:
                continue
            key = words[0].upper()
            if key in ("ROOT", "JOINT"):
                joint = words[1]
            elif key == "END":
                joint = None
            elif key == "CHANNELS":
                count = int(words[1])
                if joint is not None:
                    self.channels[joint] = {words[2 + k]: column + k for k in range(count)}
                column += count
            elif key == "FRAME" and words[1].upper() == "TIME:":
                self.frame_time = float(words[2])
                in_motion = True
            elif in_motion:
                if len(words) != column:
                    raise ValueError(f"{path}: a motion line of {len(words)} values, not {column}")
                self.frames.append([float(w) for w in words])
        if not self.frames:
            raise ValueError(f"{path}: no motion")

    def column(self, joint, channel):
        return self.channels[joint][channel]


def wrap(d):
    return (d + 180.0) % 360.0 - 180.0


def qmul(a, b):
    aw, ax, ay, az = a
    bw, bx, by, bz = b
    return (aw * bw - ax * bx - ay * by - az * bz,
            aw * bx + ax * bw + ay * bz - az * by,
            aw * by - ax * bz + ay * bw + az * bx,
            aw * bz + ax * by - ay * bx + az * bw)


AXES = {"Xrotation": 1, "Yrotation": 2, "Zrotation": 3}


def joint_rotation(take, row, joint):
    """The joint's local rotation, its channels applied in file order."""
    q = (1.0, 0.0, 0.0, 0.0)
    for channel, column in take.channels[joint].items():
        axis = AXES.get(channel)
        if axis is None:
            continue
        half = math.radians(row[column]) / 2.0
        r = [math.cos(half), 0.0, 0.0, 0.0]
        r[axis] = math.sin(half)
        q = qmul(q, tuple(r))
    return q


def degrees_between(a, b):
    dot = abs(sum(x * y for x, y in zip(a, b)))
    return math.degrees(2.0 * math.acos(min(1.0, dot)))


def features(take, f):
    row = take.frames[f]
    local = {joint: joint_rotation(take, row, joint) for joint in LEG_JOINTS}
    # The figure's thigh spans the file's buttock and thigh joints; a fixed
    # rest correction on the right leaves angles between poses unchanged.
    rotations = [qmul(local[side + "Buttock"], local[side + "Thigh"]) for side in "lr"]
    rotations += [local[side + part] for side in "lr" for part in ("Shin", "Foot")]
    # The hip's pitch and roll only: a curving path turns the yaw.
    pitch_roll = [row[take.column("hip", "Xrotation")], row[take.column("hip", "Zrotation")]]
    return rotations, row[take.column("hip", "Yposition")], pitch_roll


def distance(a, b):
    """Squared phase distance of two frames' features, degrees squared."""
    angles = [degrees_between(x, y) for x, y in zip(a[0], b[0])]
    # The worst joint counts twice: one joint far off shows at the seam.
    legs = sum(d * d for d in angles) + max(angles) ** 2
    return legs + sum(wrap(x - y) ** 2 for x, y in zip(a[2], b[2]))


def hip_speeds(take):
    n = len(take.frames)
    x = take.column("hip", "Xposition")
    z = take.column("hip", "Zposition")
    half = 15
    speeds = []
    for f in range(n):
        a, b = max(1, f - half), min(n - 1, f + half)
        if b <= a:
            speeds.append(0.0)
            continue
        dx = take.frames[b][x] - take.frames[a][x]
        dz = take.frames[b][z] - take.frames[a][z]
        speeds.append(math.hypot(dx, dz) / ((b - a) * take.frame_time))
    return speeds


def find_cycle(take):
    """Returns (i, j, worst leg joint degrees, hip height cm) for the cut.

    i < j are source frames; frame 0 is the converter's T-pose."""
    n = len(take.frames)
    feats = [features(take, f) for f in range(n)]
    speeds = hip_speeds(take)
    moving = sorted(speeds[1:])
    median = moving[len(moving) // 2]
    ok = [f >= 1 + STEP and f < n - STEP and speeds[f] >= 0.6 * median for f in range(n)]

    def rate(f):
        # How each leg joint turns over +-STEP frames, as angles per joint.
        return [degrees_between(a, b) for a, b in zip(feats[f + STEP][0], feats[f - STEP][0])]

    rates = [rate(f) if STEP <= f < n - STEP else None for f in range(n)]
    # Hip height in figure centimetres, roughly: the standard hip stands at
    # 99.24 cm; the take's median hip height stands for it.
    heights = sorted(feats[f][1] for f in range(1, n))
    cm = 99.24 / heights[len(heights) // 2]
    min_frames = int(math.ceil(MIN_CYCLE_SECONDS * SOURCE_FPS / STEP)) * STEP
    candidates = []
    for i in range(n):
        if not ok[i]:
            continue
        for j in range(i + min_frames, n, STEP):
            if not ok[j]:
                continue
            ha, hb = feats[i][1], feats[j][1]
            pose = distance(feats[i], feats[j])
            lift = (HEIGHT_WEIGHT * cm * (ha - hb)) ** 2
            speed = sum((x - y) ** 2 for x, y in zip(rates[i], rates[j]))
            candidates.append((pose + lift + 0.5 * speed, i, j, pose, abs(cm * (ha - hb))))
    if not candidates:
        raise ValueError("no stretch of steady walking long enough for a cycle")
    best = min(c[0] for c in candidates)
    # Longest within tolerance; ties go to the earliest start.
    score, i, j, pose, lift = max((c for c in candidates if c[0] <= TOLERANCE * best),
                            key=lambda c: (c[2] - c[1], -c[1], -c[0]))
    worst = max(degrees_between(x, y) for x, y in zip(feats[i][0], feats[j][0]))
    return i, j, worst, lift


def seconds(frame):
    # Seconds after the first kept frame (the T-pose frame 0 is dropped).
    return (frame - 1) / SOURCE_FPS


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--kba", default=os.environ.get("TRELVO_KBA", "trelvo-kba"))
    parser.add_argument("--out", default=str(ROOT / "content" / "kinBlocks" / "Trelvo"))
    parser.add_argument("--dry-run", action="store_true", help="print the cuts, write nothing")
    args = parser.parse_args()

    out = pathlib.Path(args.out)
    jobs = [(p, out) for p in sorted(MOCAP.glob("*.bvh"))]
    jobs += [(p, out / "dance") for p in sorted((MOCAP / "cmu_names").glob("*.bvh"))]
    env = dict(os.environ)
    env.setdefault("TRELVO_CONTENT", str(ROOT / "content"))
    env.setdefault("QT_QPA_PLATFORM", "offscreen")

    for bvh, folder in jobs:
        name = bvh.stem
        target = folder / f"s_{name}.kba"
        command = [args.kba, "import-bvh", str(bvh), str(target)]
        note = "whole take"
        if name.startswith(CYCLE_PREFIXES) and name not in NOT_CYCLES:
            take = Take(bvh)
            i, j, worst, lift = find_cycle(take)
            # A millisecond of slack keeps the last frame in despite rounding.
            command += ["--from", f"{seconds(i):.6f}", "--to", f"{seconds(j) + 0.001:.6f}"]
            note = (f"cycle source frames {i}-{j} ({seconds(i):.3f}-{seconds(j):.3f} s, "
                    f"{(j - i) / SOURCE_FPS:.3f} s), worst leg joint {worst:.2f} deg, "
                    f"hip height {lift:.1f} cm")
        print(f"{target.relative_to(out.parent) if out.parent in target.parents else target}: {note}")
        if args.dry_run:
            continue
        folder.mkdir(parents=True, exist_ok=True)
        result = subprocess.run(command, env=env, capture_output=True, text=True)
        if result.returncode != 0:
            sys.stderr.write(result.stderr)
            sys.exit(f"make-stock-library: {bvh.name} failed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
