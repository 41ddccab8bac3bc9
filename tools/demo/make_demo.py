#!/usr/bin/env python3
"""Makes the demo rig: show files, media and the project JSON.

The project's structure is demo-project.json, kept beside this script; this
script puts absolute paths and the simulator's ports into a copy of it and
writes the show files and media it names.

Usage: make_demo.py OUT_DIR NX_PORTS KMA_PORTS
  The two NX-family controllers are at NX_PORTS, the KMA controller at
  KMA_PORTS. Each is either the listing a simulator wrote with --ports-file
  (its controllers taken in order) or a number P: the simulator was started
  with --base-port P, so controller i has HTTP port P+2i and FTP port P+2i+1.
"""
import json
import os
import struct
import subprocess
import sys
import uuid

HERE = os.path.dirname(os.path.abspath(__file__))

STAGE_UUID = uuid.UUID("6fa1c1e0-0c4a-4f8e-9d51-3c2b8f0e2a17")
SCREENS_UUID = uuid.UUID("2d6e8a40-51b3-4c7f-a8e2-94f0c3b1d5e6")
SLOT_FILES = ["intro.bin", "chase.bin", "finale.bin"]


def uuid_words(value):
    return struct.unpack(">4I", value.bytes)


def general_show(project, clip_names):
    """A general show file (NX family), version 315, big-endian."""
    out = struct.pack(">HIHH", 0xFF33, 0x5678, 0xFF33, 315)
    out += bytes([1, 0, 0])                      # lowest firmware 1.0.0
    out += struct.pack(">H", 1)                  # made for NX1
    out += struct.pack(">4I", *uuid_words(project))
    out += struct.pack(">H", len(clip_names))
    for name in clip_names:
        data = name.encode("latin-1")
        out += struct.pack(">H", len(data)) + data
    return out + os.urandom(256 * 1024)          # the show's own data


def kma_text(text):
    data = text.encode("utf-8")
    return struct.pack("<H", len(data)) + data


def kma_show(project, clips):
    """A KMA show file, version 28, little-endian."""
    out = struct.pack("<II", 0xA58100FF, 28)
    out += bytes([1, 0, 0])
    out += struct.pack("<4I", *uuid_words(project))
    out += struct.pack("<I", len(clips))
    for number, name, video, video_name, audio, audio_name in clips:
        out += struct.pack("<i", number) + kma_text(name)
        out += kma_text(video) + kma_text(video_name)
        out += kma_text(audio) + kma_text(audio_name)
    return out + os.urandom(64 * 1024)


def ffmpeg(*args):
    subprocess.run(["ffmpeg", "-loglevel", "error", "-y", *args], check=True)


def port_pairs(given):
    """The (HTTP, FTP) ports of a simulator's controllers, in order."""
    if given.isdigit():
        base = int(given)
        return [(base + 2 * i, base + 2 * i + 1) for i in range(1024)]
    with open(given) as f:
        listing = json.load(f)
    return [(c["http"], c["ftp"]) for c in listing["controllers"]]


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    out = os.path.abspath(sys.argv[1])
    ports = {1: port_pairs(sys.argv[2]), 3: port_pairs(sys.argv[3])}
    shows = os.path.join(out, "shows")
    media = os.path.join(out, "media")
    os.makedirs(shows, exist_ok=True)
    os.makedirs(media, exist_ok=True)

    with open(os.path.join(shows, "stage.wr"), "wb") as f:
        f.write(general_show(STAGE_UUID, SLOT_FILES))
    for index, name in enumerate(SLOT_FILES):
        with open(os.path.join(media, name), "wb") as f:
            f.write(os.urandom((index + 1) * 2 * 1024 * 1024))

    video = os.path.join(media, "opening.mpg")
    audio = os.path.join(media, "opening.wav")
    if not os.path.exists(video):
        ffmpeg("-f", "lavfi", "-i", "testsrc=size=720x576:rate=25:duration=4",
               "-c:v", "mpeg2video", "-b:v", "6M", "-f", "mpeg2video", video)
    if not os.path.exists(audio):
        ffmpeg("-f", "lavfi", "-i", "sine=frequency=440:duration=4:sample_rate=48000",
               "-ac", "2", audio)
    with open(os.path.join(shows, "screens.kma"), "wb") as f:
        f.write(kma_show(SCREENS_UUID,
                         [(1, "Opening", video, "opening.vid", audio, "opening.aud")]))

    with open(os.path.join(HERE, "demo-project.json")) as f:
        project = json.load(f)
    for group in project["groups"]:
        for template in group["controllerTemplates"]:
            template["showFile"] = os.path.join(out, template["showFile"])
            for entry in template.get("mediaPaths", []):
                entry["path"] = os.path.join(out, entry["path"])
        hardware = group["controllerTemplates"][0]["hardwareType"]
        for installation in group["installations"]:
            for controller in installation["controllers"]:
                if not ports[hardware]:
                    sys.exit(f"make_demo.py: too few simulated controllers of type {hardware}")
                controller["httpPort"], controller["ftpPort"] = ports[hardware].pop(0)
    with open(os.path.join(out, "demo.json"), "w") as f:
        json.dump(project, f, indent=4)
    print(os.path.join(out, "demo.json"))


if __name__ == "__main__":
    main()
