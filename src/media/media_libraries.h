#pragma once

// Process-wide set-up of the media libraries, done once before the first
// conversion. FFmpeg 5 needs no registration of codecs and formats any more;
// what remains is to keep its console chatter out of our output (the routines
// report every failure through their result codes).
namespace MediaLibraries {
void initialise();
} // namespace MediaLibraries
