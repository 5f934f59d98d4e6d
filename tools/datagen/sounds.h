#pragma once
// The game's sounds, synthesised (noise, filters, envelopes, harmonics):
// one mono 16-bit WAV per GameSound at kAudioSampleRate, the same bytes on
// every run. One-shots last at most two seconds and start and end at rest;
// the loops are one second of an exactly periodic waveform.

#include "audio/audio.h"
#include "game/game_sounds.h"
#include "tools/datagen/datagen.h"

#include <cstdint>
#include <vector>

namespace datagen {

// The samples, in [-1, 1].
std::vector<float> synthesiseSound(GameSound sound);
// A mono 16-bit WAV (through libsndfile); empty when it cannot be written.
std::vector<std::uint8_t> writeWav16(const std::vector<float>& samples, int rate);
// Every sound file, under kGameSoundFiles' paths.
std::vector<GeneratedFile> generateSounds();

}  // namespace datagen
