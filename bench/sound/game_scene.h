// A race's sound load on the mixer, with an audio thread at the device's
// pace: prints block times against the audio deadline.
#pragma once

// Runs the scene twice for `seconds` of real time: with the game thread at
// 60 frames a second, then calling back to back.
void reportGameScene(int seconds);
