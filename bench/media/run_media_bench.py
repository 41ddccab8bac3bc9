#!/usr/bin/env python3
"""Speed and memory of the media conversion core against the ffmpeg tool.

Makes its inputs with the ffmpeg tool, then runs each conversion of ours
(rw_media_bench, rigwarden-cli) and the ffmpeg tool doing the same work on the
same input, alternately, several times; prints the best wall time and the peak
resident memory of each side and their ratio.

    bench/media/run_media_bench.py BUILD_DIR [--work DIR] [--size-mb 520]
                                   [--repeat 3] [--keep]

Targets: cutting a raw elementary stream, and the whole conversion a user runs
(rigwarden-cli transcode --video, analysis included; the application's
transcoder runs the same routines), at least 1.5 times as fast as
"ffmpeg -c copy -f mpeg2video" (a plain cp of the input is timed beside them) and its peak memory does not grow with the
file's size; re-encoding video and encoding Vorbis take at most 1.10 times
the ffmpeg tool's time with the same settings.
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

FFMPEG = ["ffmpeg", "-hide_banner", "-nostdin", "-loglevel", "error", "-y"]


def ffmpeg(*arguments):
    subprocess.run(FFMPEG + list(arguments), check=True)


def measure(command):
    """Wall seconds and peak resident memory (MB) of one run of a command."""
    os.sync()  # earlier runs' dirty pages are not this run's cost
    start = time.perf_counter()
    process = subprocess.Popen(command, stdout=subprocess.DEVNULL)
    _, status, usage = os.wait4(process.pid, 0)
    seconds = time.perf_counter() - start
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit("failed: " + " ".join(command))
    return seconds, usage.ru_maxrss / 1024.0


def best_of(repeat, ours, baseline, outputs, copy=None):
    """Best time and highest peak memory of each side, run alternately."""
    sides = [("ours", ours), ("baseline", baseline)] + ([("cp", copy)] if copy else [])
    results = {side: [] for side, _ in sides}
    for _ in range(repeat):
        for side, command in sides:
            for path in outputs:
                if os.path.exists(path):
                    os.remove(path)
            results[side].append(measure(command))
    return {side: (min(r[0] for r in runs), max(r[1] for r in runs))
            for side, runs in results.items()}


def make_inputs(work, size_mb):
    clip = os.path.join(work, "clip.m2v")
    big = os.path.join(work, "big.m2v")
    small = os.path.join(work, "small.m2v")
    pcm = os.path.join(work, "noise.pcm")
    wav = os.path.join(work, "noise44.wav")
    if not os.path.exists(clip):
        print("making a 720x576 MPEG-2 clip ...", flush=True)
        ffmpeg("-f", "lavfi", "-i", "testsrc2=size=720x576:rate=25,noise=alls=12:allf=t",
               "-t", "40", "-c:v", "mpeg2video", "-q:v", "4", "-g", "12", "-bf", "2",
               "-pix_fmt", "yuv420p", "-f", "mpeg2video", clip)
    if not os.path.exists(big) or os.path.getsize(big) < size_mb * 1e6:
        copies = int(size_mb * 1e6 // os.path.getsize(clip)) + 1
        print(f"joining {copies} copies of it ...", flush=True)
        ffmpeg("-i", "concat:" + "|".join([clip] * copies), "-c", "copy", "-f", "mpeg2video", big)
    if not os.path.exists(small):
        print("making a 704x576 clip ...", flush=True)
        ffmpeg("-f", "lavfi", "-i", "testsrc2=size=704x576:rate=25", "-t", "40",
               "-c:v", "mpeg2video", "-b:v", "6M", "-pix_fmt", "yuv420p",
               "-f", "mpeg2video", small)
    if not os.path.exists(pcm):
        print("making 5 minutes of audio ...", flush=True)
        ffmpeg("-f", "lavfi", "-i", "anoisesrc=color=pink:amplitude=0.3:sample_rate=48000",
               "-t", "300", "-ac", "2", "-f", "s16le", pcm)
        ffmpeg("-f", "lavfi", "-i", "anoisesrc=color=pink:amplitude=0.3:sample_rate=44100",
               "-t", "300", "-ac", "2", wav)
    return clip, big, small, pcm, wav


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("build_dir")
    parser.add_argument("--work", help="folder for inputs and outputs (default: a new one)")
    parser.add_argument("--size-mb", type=float, default=520)
    parser.add_argument("--repeat", type=int, default=3)
    parser.add_argument("--keep", action="store_true", help="keep the work folder")
    args = parser.parse_args()

    bench = os.path.join(args.build_dir, "bin", "rw_media_bench")
    cli = os.path.join(args.build_dir, "bin", "rigwarden-cli")
    work = args.work or tempfile.mkdtemp(prefix="rw-media-bench-")
    os.makedirs(work, exist_ok=True)
    try:
        clip, big, small, pcm, wav = make_inputs(work, args.size_mb)
        out = os.path.join(work, "out")
        copy = os.path.join(work, "copy.m2v")
        ogg = os.path.join(work, "out.ogg")
        m2v = os.path.join(work, "out.m2v")
        reencode = ["-vf", "scale=720:576:flags=bicubic", "-c:v", "mpeg2video", "-b:v", "8M",
                    "-g", "12", "-bf", "2", "-pix_fmt", "yuv420p", "-f", "mpeg2video"]
        vorbis = ["-ar", "48000", "-ac", "2", "-c:a", "libvorbis", "-q:a", "4", "-f", "ogg"]

        # (name, ours, baseline, outputs, ratio kind, target)
        # "speed-up" = baseline time / our time (target: at least);
        # "slow-down" = our time / baseline time (target: at most).
        cases = [
            ("cut raw stream (%d MB)" % (os.path.getsize(big) / 1e6),
             [bench, "packetise", big, out], FFMPEG + ["-i", big, "-c", "copy", "-f",
                                                       "mpeg2video", copy],
             [out, copy], "speed-up", 1.5),
            ("cli transcode --video, analysis included",
             [cli, "transcode", "--video", big, out], FFMPEG + ["-i", big, "-c", "copy", "-f",
                                                               "mpeg2video", copy],
             [out, copy], "speed-up", 1.5),
            ("re-encode 704x576 -> 720x576 (40 s)",
             [bench, "encode-video", small, m2v], FFMPEG + ["-i", small] + reencode + [copy],
             [m2v, copy], "slow-down", 1.10),
            ("Vorbis from 48 kHz PCM (5 min)",
             [bench, "encode-pcm", pcm, out],
             FFMPEG + ["-f", "s16le", "-ar", "48000", "-ac", "2", "-i", pcm] + vorbis + [ogg],
             [out, ogg], "slow-down", 1.10),
            ("Vorbis from 44.1 kHz WAV (5 min)",
             [bench, "encode-audio", wav, out], FFMPEG + ["-i", wav] + vorbis + [ogg],
             [out, ogg], "slow-down", 1.10),
        ]
        print(f"\n{'case':44} {'ours s':>8} {'ffmpeg s':>9} {'ratio':>14} {'target':>8}"
              f" {'ours MB':>8} {'ffmpeg MB':>9} {'cp s':>6} {'ours/cp':>7}")
        failed = False
        for name, ours, baseline, outputs, kind, target in cases:
            # The raw cuts are also timed beside a plain copy of their input.
            plain = ["cp", big, copy] if kind == "speed-up" else None
            r = best_of(args.repeat, ours, baseline, outputs, plain)
            (our_s, our_mb), (base_s, base_mb) = r["ours"], r["baseline"]
            ratio = base_s / our_s if kind == "speed-up" else our_s / base_s
            verdict = "-"
            if target is not None:
                ok = ratio >= target if kind == "speed-up" else ratio <= target
                failed |= not ok
                verdict = ("%s%.2f" % (">=" if kind == "speed-up" else "<=", target)) + \
                    (" ok" if ok else " MISSED")
            copied = f" {r['cp'][0]:6.2f} {our_s / r['cp'][0]:7.2f}" if plain else ""
            print(f"{name:44} {our_s:8.2f} {base_s:9.2f} {kind:>9} {ratio:4.2f} {verdict:>8}"
                  f" {our_mb:8.1f} {base_mb:9.1f}{copied}", flush=True)

        # Peak memory of the cutter must not grow with the input.
        small_run = best_of(args.repeat, [bench, "packetise", clip, out], ["true"], [out])
        big_run = best_of(args.repeat, [bench, "packetise", big, out], ["true"], [out])
        growth = big_run["ours"][1] / small_run["ours"][1]
        size_ratio = os.path.getsize(big) / os.path.getsize(clip)
        print(f"\npeak memory cutting {os.path.getsize(clip) / 1e6:.0f} MB:"
              f" {small_run['ours'][1]:.1f} MB; {os.path.getsize(big) / 1e6:.0f} MB:"
              f" {big_run['ours'][1]:.1f} MB; ratio {growth:.2f} for {size_ratio:.1f}x the input"
              f" (target: about 1) {'ok' if growth < 1.1 else 'MISSED'}")
        failed |= growth >= 1.1
        return 1 if failed else 0
    finally:
        if not args.keep and not args.work:
            shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
