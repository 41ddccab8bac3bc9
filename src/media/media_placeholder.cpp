// The conversion core (analyse, packetise, encode) arrives with the media
// transcoder; this unit keeps the library well-formed until then.
namespace media_placeholder {}
