// The eight tracks as the settings number them (Config::m_track, 0..7), in
// two cups of four: tracks 0-3 and 4-7. Their files, pictures and name texts
// go by another number, the track's file number 1..8.
#pragma once

#include <string>

inline constexpr int kTrackCount = 8;
inline constexpr int kCupTracks = 4;
// The last track of each cup: its race enters the cup's table.
inline constexpr int kFirstCupFinal = kCupTracks - 1;
inline constexpr int kSecondCupFinal = kTrackCount - 1;

// The file number of each track.
inline constexpr int kTrackFileNumbers[kTrackCount] = {1, 5, 3, 4, 2, 6, 8, 7};

// For a track index in 0..7: the text that names it, 3000 + 100 x (file
// number - 1).
constexpr int trackNameText(int track) { return 3000 + 100 * (kTrackFileNumbers[track] - 1); }
// For a track index in 0..7: its file number in two digits, as its files'
// names carry it ("01".."08").
inline std::string trackFileDigits(int track) {
  return std::string(1, '0') + static_cast<char>('0' + kTrackFileNumbers[track]);
}
